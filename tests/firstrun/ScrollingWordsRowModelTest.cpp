#include "firstrun/ScrollingWordsRowModel.h"

#include <QSignalSpy>
#include <QtTest>

class ScrollingWordsRowModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstPositiveWidthStartsTheLoop_data();
    void firstPositiveWidthStartsTheLoop();
    void laterWidthsAreIgnored();
};

void ScrollingWordsRowModelTest::firstPositiveWidthStartsTheLoop_data()
{
    QTest::addColumn<qreal>("initialOffset");
    QTest::addColumn<qreal>("width");
    QTest::addColumn<qreal>("start");
    QTest::newRow("row 0") << 0.0 << 1500.5 << 0.0;
    QTest::newRow("row 1 starts 180 into its loop") << 180.0 << 1400.0 << -180.0;
    QTest::newRow("row 2, offset within one copy") << 360.0 << 1320.25 << -360.0;
    QTest::newRow("offset longer than a copy is reduced modulo the width") << 360.0 << 250.0 << -110.0;
    QTest::newRow("fractional remainder") << 180.0 << 47.5 << -37.5;
}

void ScrollingWordsRowModelTest::firstPositiveWidthStartsTheLoop()
{
    QFETCH(qreal, initialOffset);
    QFETCH(qreal, width);
    QFETCH(qreal, start);

    ScrollingWordsRowModel row;
    row.setInitialOffset(initialOffset);
    QSignalSpy started(&row, &ScrollingWordsRowModel::startedChanged);
    // Not laid out yet: nothing starts.
    QVERIFY(!row.offerWidth(0));
    QVERIFY(!row.offerWidth(-3));
    QVERIFY(!row.offerWidth(qQNaN()));
    QVERIFY(!row.started());
    QCOMPARE(started.count(), 0);

    QVERIFY(row.offerWidth(width));
    QVERIFY(row.started());
    QCOMPARE(started.count(), 1);
    QCOMPARE(row.setWidth(), width);
    QCOMPARE(row.startOffset(), start);
    // One loop moves the band left by exactly one copy.
    QCOMPARE(row.endOffset(), start - width);
}

void ScrollingWordsRowModelTest::laterWidthsAreIgnored()
{
    ScrollingWordsRowModel row;
    row.setInitialOffset(180);
    QVERIFY(row.offerWidth(1000));
    QSignalSpy started(&row, &ScrollingWordsRowModel::startedChanged);
    QVERIFY(!row.offerWidth(800));
    QVERIFY(!row.offerWidth(0));
    QCOMPARE(row.setWidth(), 1000.0);
    QCOMPARE(row.startOffset(), -180.0);
    QCOMPARE(started.count(), 0);
}

QTEST_GUILESS_MAIN(ScrollingWordsRowModelTest)
#include "ScrollingWordsRowModelTest.moc"
