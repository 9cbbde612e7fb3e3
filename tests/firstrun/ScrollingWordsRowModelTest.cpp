#include "firstrun/ScrollingWordsRowModel.h"
#include "firstrun/ScrollingWordSlot.h"
#include "firstrun/ScrollingWordsBeat.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

ScrollingWordSlot *slotAt(const ScrollingWordsRowModel &row, int index)
{
    return qobject_cast<ScrollingWordSlot *>(row.wordSlots().at(index));
}

} // namespace

class ScrollingWordsRowModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstCompleteWidthsStartTheLoop_data();
    void firstCompleteWidthsStartTheLoop();
    void laterWidthsAreIgnored();
    void bandMovesInWholePixelsAndLoops_data();
    void bandMovesInWholePixelsAndLoops();
    void onlyWordsInViewPulse();
    void beatMovesInBoundedStepsWhileRunning();
};

void ScrollingWordsRowModelTest::firstCompleteWidthsStartTheLoop_data()
{
    QTest::addColumn<qreal>("initialOffset");
    QTest::addColumn<QList<qreal>>("widths");
    QTest::addColumn<qreal>("start");
    // Two words 28 apart: one copy is both widths and one gap long.
    QTest::newRow("row 0") << 0.0 << QList<qreal>{700.5, 772} << 0.0;
    QTest::newRow("row 1 starts 180 into its loop") << 180.0 << QList<qreal>{686, 686} << -180.0;
    QTest::newRow("offset longer than a copy is reduced modulo the width")
        << 360.0 << QList<qreal>{100, 122} << -110.0;
    QTest::newRow("fractional remainder") << 180.0 << QList<qreal>{9.75, 9.75} << -37.5;
}

void ScrollingWordsRowModelTest::firstCompleteWidthsStartTheLoop()
{
    QFETCH(qreal, initialOffset);
    QFETCH(QList<qreal>, widths);
    QFETCH(qreal, start);

    ScrollingWordsRowModel row;
    row.setProperty("spacing", 28);
    row.setWords({QStringLiteral("apple"), QStringLiteral("river")});
    row.setInitialOffset(initialOffset);
    QCOMPARE(row.wordSlots().size(), 6);
    QSignalSpy started(&row, &ScrollingWordsRowModel::startedChanged);
    // Not laid out yet: nothing starts.
    QVERIFY(!row.offerWidths({}));
    QVERIFY(!row.offerWidths({widths.first()}));
    QVERIFY(!row.offerWidths({widths.first(), 0}));
    QVERIFY(!row.offerWidths({-3, widths.last()}));
    QVERIFY(!row.offerWidths({qQNaN(), widths.last()}));
    QVERIFY(!row.started());
    QCOMPARE(started.count(), 0);

    QVERIFY(row.offerWidths(widths));
    QVERIFY(row.started());
    QCOMPARE(started.count(), 1);
    QCOMPARE(row.setWidth(), widths.first() + 28 + widths.last());
    QCOMPARE(row.startOffset(), start);
    // One loop moves the band left by exactly one copy.
    QCOMPARE(row.endOffset(), start - row.setWidth());
    // The copies follow each other with the same gaps as the words.
    QCOMPARE(slotAt(row, 3)->x(), row.setWidth() + 28 + widths.first() + 28);
    QCOMPARE(slotAt(row, 3)->width(), widths.last());
}

void ScrollingWordsRowModelTest::laterWidthsAreIgnored()
{
    ScrollingWordsRowModel row;
    row.setWords({QStringLiteral("apple")});
    row.setInitialOffset(180);
    QVERIFY(row.offerWidths({1000}));
    QSignalSpy started(&row, &ScrollingWordsRowModel::startedChanged);
    QVERIFY(!row.offerWidths({800}));
    QCOMPARE(row.setWidth(), 1000.0);
    QCOMPARE(row.startOffset(), -180.0);
    QCOMPARE(started.count(), 0);
    // Nor do the words change under a running band.
    row.setWords({QStringLiteral("river")});
    QCOMPARE(slotAt(row, 0)->text(), QStringLiteral("apple"));
}

void ScrollingWordsRowModelTest::bandMovesInWholePixelsAndLoops_data()
{
    QTest::addColumn<qreal>("pixelRatio");
    QTest::addColumn<qreal>("seconds");
    QTest::addColumn<qreal>("x");
    // One copy is 1000 wide and takes 100 s: 10 pixels a second, from -180.
    QTest::newRow("at the start") << 1.0 << 0.0 << -180.0;
    QTest::newRow("rounded to a pixel") << 1.0 << 1.04 << -190.0;
    QTest::newRow("half pixels on a 2x screen") << 2.0 << 1.04 << -190.5;
    QTest::newRow("just before the loop ends") << 1.0 << 99.9 << -1179.0;
    QTest::newRow("a loop later, back at the start") << 1.0 << 100.0 << -180.0;
    QTest::newRow("many loops later") << 1.0 << 1005.0 << -230.0;
}

void ScrollingWordsRowModelTest::bandMovesInWholePixelsAndLoops()
{
    QFETCH(qreal, pixelRatio);
    QFETCH(qreal, seconds);
    QFETCH(qreal, x);

    ScrollingWordsRowModel row;
    row.setProperty("duration", 100);
    row.setProperty("viewWidth", 420);
    row.setProperty("devicePixelRatio", pixelRatio);
    row.setWords({QStringLiteral("apple"), QStringLiteral("river")});
    row.setInitialOffset(180);
    row.setTime(7); // the beat ran before the words were measured
    QVERIFY(row.offerWidths({500, 500}));
    row.setTime(7 + seconds);
    QCOMPARE(row.x(), x);
    // In view: exactly the words that overlap the row.
    for (QObject *object : row.wordSlots()) {
        const auto *slot = qobject_cast<ScrollingWordSlot *>(object);
        const qreal left = row.x() + slot->x();
        QCOMPARE(slot->onScreen(), left + slot->width() > 0 && left < 420);
    }
}

// Words in view pulse between the resting and the peak opacity in steps of
// 1/64; a word out of view keeps its opacity until it comes back.
void ScrollingWordsRowModelTest::onlyWordsInViewPulse()
{
    ScrollingWordsRowModel row;
    row.seed(7);
    row.setProperty("duration", 1e6);
    row.setProperty("viewWidth", 420);
    row.setWords({QStringLiteral("apple"), QStringLiteral("river"), QStringLiteral("wonder")});
    QVERIFY(row.offerWidths({300, 300, 300}));
    QVERIFY(slotAt(row, 0)->onScreen());
    QVERIFY(!slotAt(row, 2)->onScreen());
    QSignalSpy hiddenChanged(slotAt(row, 2), &ScrollingWordSlot::opacityChanged);
    qreal brightest = 0;
    qreal dimmest = 1;
    for (int tick = 1; tick <= 30 * 25; ++tick) {
        row.setTime(tick / 30.0);
        const qreal opacity = slotAt(row, 0)->opacity();
        brightest = std::max(brightest, opacity);
        dimmest = std::min(dimmest, opacity);
        const qreal steps = opacity * ScrollingWordsRowModel::opacitySteps;
        QVERIFY2(opacity == ScrollingWordsRowModel::restOpacity || steps == std::round(steps),
                 qPrintable(QString::number(opacity)));
    }
    // Waits are at most 8 s: 25 s hold at least two whole pulses.
    QVERIFY(brightest >= 0.53 && brightest <= ScrollingWordsRowModel::peakOpacity);
    QCOMPARE(dimmest, ScrollingWordsRowModel::restOpacity);
    QCOMPARE(hiddenChanged.count(), 0);
}

// The beat's clock moves forward only while running, a bounded step at a
// time, and a restarted beat goes on from where it stood.
void ScrollingWordsRowModelTest::beatMovesInBoundedStepsWhileRunning()
{
    ScrollingWordsBeat beat;
    beat.setTicksPerSecond(100);
    QSignalSpy ticks(&beat, &ScrollingWordsBeat::clockChanged);
    QCoreApplication::processEvents();
    QCOMPARE(ticks.count(), 0);

    qreal last = 0;
    const qreal longest = qreal(ScrollingWordsBeat::longestStep) / 100 + 1e-9;
    connect(&beat, &ScrollingWordsBeat::clockChanged, this, [&] {
        QVERIFY2(beat.clock() >= last && beat.clock() - last <= longest,
                 qPrintable(QString::number(beat.clock())));
        last = beat.clock();
    });
    beat.setRunning(true);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 3, 20000);
    beat.setRunning(false);
    const qreal stoppedAt = beat.clock();
    QVERIFY(stoppedAt > 0);
    beat.setRunning(true);
    const int before = ticks.count();
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() > before, 20000);
    QVERIFY(beat.clock() > stoppedAt);
}

QTEST_GUILESS_MAIN(ScrollingWordsRowModelTest)
#include "ScrollingWordsRowModelTest.moc"
