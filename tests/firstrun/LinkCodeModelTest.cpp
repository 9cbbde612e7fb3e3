#include "firstrun/LinkCodeModel.h"
#include "FakeSession.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

QStringList boxes(const QString &eight)
{
    // "AB......" -> {"A","B","","",...}; a dot is an empty box.
    QStringList out;
    for (QChar c : eight)
        out.append(c == QLatin1Char('.') ? QString() : QString(c));
    return out;
}

void fill(LinkCodeModel &model, const QString &eight)
{
    for (int i = 0; i < eight.size(); ++i) {
        if (eight.at(i) != QLatin1Char('.'))
            model.changeText(i, QString(eight.at(i)));
    }
}

} // namespace

class LinkCodeModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void changeRule_data();
    void changeRule();
    void combiningAccentStaysOneBox();
    void tapEmptiesFilledBoxWithoutMovingFocus();
    void tapOnEmptyBoxLeavesNoPendingSuppression();
    void connectNeedsEightBoxesAndNoSignInRunning();
    void sectionsFollowTogglesAndSessionChanges();
    void shownWhileSignedInOpensShortcutSection();
    void relinkSignsOutAndEmptiesBoxesKeepingFocus();
};

void LinkCodeModelTest::changeRule_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("startFocus");
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("focus");

    // What the boxes hold before ("." is empty), where the focus is, the box
    // that changes, its new content, and the boxes and focus afterwards.
    const auto row = [](const char *name, const char *before, int startFocus, int box, const char *content,
                        const char *after, int focus) {
        QTest::newRow(name) << QString::fromUtf8(before) << startFocus << box << QString::fromUtf8(content)
                            << QString::fromUtf8(after) << focus;
    };
    row("lower-case letter is stored upper-case, focus moves on", "........", 0, 0, "a", "A.......", 1);
    row("typing in the last box keeps focus there", "ABCDEFG.", 7, 7, "h", "ABCDEFGH", 7);
    row("hyphen into empty box 3 goes back one box", "ABC.....", 3, 3, "-", "ABC.....", 2);
    row("space into box 0 keeps focus on box 0", "........", 0, 0, " ", "........", 0);
    row("deleting a character goes back one box", "ABCDEF..", 5, 5, "", "ABCDE...", 4);
    row("paste with hyphen fills all boxes, focus on the last", "........", 0, 0, "abcd-1234", "ABCD1234", 7);
    row("paste into box 6 drops what does not fit", "........", 6, 6, "XYZ", "......XY", 7);
    row("paste in the middle overwrites following boxes", "ABCDEFGH", 2, 2, "xy", "ABXYEFGH", 4);
    row("second character typed into a filled box spills over", "A.......", 0, 0, "Ab", "AB......", 2);
    row("sharp s upper-cases to two letters and fills two boxes", "........", 2, 2, "ß", "..SS....", 4);
    row("only punctuation from a paste empties the box", "........", 4, 4, "-- .", "........", 3);
    row("digits of other scripts are numbers and kept", "........", 0, 0, "٣", "٣.......", 1);
    row("emoji is neither letter nor number", "........", 1, 1, "😀", "........", 0);
}

void LinkCodeModelTest::changeRule()
{
    QFETCH(QString, before);
    QFETCH(int, startFocus);
    QFETCH(int, box);
    QFETCH(QString, content);
    QFETCH(QString, after);
    QFETCH(int, focus);

    LinkCodeModel model;
    fill(model, before);
    model.setFocusedIndex(startFocus);
    model.changeText(box, content);
    QCOMPARE(model.chars(), boxes(after));
    QCOMPARE(model.focusedIndex(), focus);
    QVERIFY(!model.suppressOnChange());
}

void LinkCodeModelTest::combiningAccentStaysOneBox()
{
    LinkCodeModel model;
    model.changeText(0, QStringLiteral("e\u0301"));
    QCOMPARE(model.chars().at(0), QStringLiteral("E\u0301"));
    QVERIFY(model.chars().at(1).isEmpty());
    QCOMPARE(model.focusedIndex(), 1);
}

void LinkCodeModelTest::tapEmptiesFilledBoxWithoutMovingFocus()
{
    LinkCodeModel model;
    fill(model, QStringLiteral("ABCDEFGH"));
    model.setFocusedIndex(7);
    model.tapBox(3);
    QCOMPARE(model.chars(), boxes(QStringLiteral("ABC.EFGH")));
    QCOMPARE(model.focusedIndex(), 3);
    QVERIFY(!model.suppressOnChange());

    // The emptied box accepts a new character as usual afterwards.
    model.changeText(3, QStringLiteral("z"));
    QCOMPARE(model.chars(), boxes(QStringLiteral("ABCZEFGH")));
    QCOMPARE(model.focusedIndex(), 4);
}

void LinkCodeModelTest::tapOnEmptyBoxLeavesNoPendingSuppression()
{
    LinkCodeModel model;
    model.setFocusedIndex(5);
    model.tapBox(2);
    QCOMPARE(model.focusedIndex(), 2);
    QVERIFY(!model.suppressOnChange());
    // Were the flag left set, this first character would be kept raw and focus stay put.
    model.changeText(2, QStringLiteral("q"));
    QCOMPARE(model.chars().at(2), QStringLiteral("Q"));
    QCOMPARE(model.focusedIndex(), 3);
}

void LinkCodeModelTest::connectNeedsEightBoxesAndNoSignInRunning()
{
    FakeSession session;
    LinkCodeModel model;
    model.setAuth(&session);
    QSignalSpy enablement(&model, &LinkCodeModel::canConnectChanged);

    fill(model, QStringLiteral("ABCD123."));
    QVERIFY(!model.canConnect());
    QCOMPARE(model.formattedCode(), QStringLiteral("ABCD123"));
    model.connect();
    QVERIFY(session.codes.isEmpty());

    model.changeText(7, QStringLiteral("4"));
    QVERIFY(model.canConnect());
    QCOMPARE(enablement.count(), 1);
    QCOMPARE(model.formattedCode(), QStringLiteral("ABCD-1234"));

    model.connect();
    QCOMPARE(session.codes, QStringList{QStringLiteral("ABCD-1234")});
    // The session is now busy: the button is disabled and a second press sends nothing.
    QVERIFY(session.isLoading());
    QVERIFY(!model.canConnect());
    QCOMPARE(enablement.count(), 2);
    model.connect();
    QCOMPARE(session.codes.size(), 1);

    // A rejected code keeps the boxes and shows the session's error.
    session.setError(QStringLiteral("Invalid or expired code. Generate a new one in the iOS app."));
    session.setLoading(false);
    QCOMPARE(model.chars(), boxes(QStringLiteral("ABCD1234")));
    QCOMPARE(model.error(), session.errorText());
    QVERIFY(model.canConnect());
}

void LinkCodeModelTest::sectionsFollowTogglesAndSessionChanges()
{
    FakeSession session;
    LinkCodeModel model;
    model.setAuth(&session);
    QVERIFY(model.connectExpanded());
    QVERIFY(!model.shortcutExpanded());

    model.toggleShortcut();
    QVERIFY(model.connectExpanded());
    QVERIFY(model.shortcutExpanded());
    QCOMPARE(model.expansionDuration(), LinkCodeModel::toggleDuration);
    model.toggleShortcut();
    model.toggleConnect();
    QVERIFY(!model.connectExpanded());
    QVERIFY(!model.shortcutExpanded());

    // Signing in elsewhere closes the code entry and opens the shortcut, slower.
    session.setAuthenticated(true);
    QVERIFY(!model.connectExpanded());
    QVERIFY(model.shortcutExpanded());
    QCOMPARE(model.expansionDuration(), LinkCodeModel::authChangeDuration);

    // Other session changes (loading, error) leave the sections alone.
    model.toggleConnect();
    session.setLoading(true);
    session.setLoading(false);
    QVERIFY(model.connectExpanded());
    QVERIFY(model.shortcutExpanded());

    session.setAuthenticated(false);
    QVERIFY(model.connectExpanded());
    QVERIFY(!model.shortcutExpanded());
}

void LinkCodeModelTest::shownWhileSignedInOpensShortcutSection()
{
    FakeSession session;
    session.setAuthenticated(true);
    LinkCodeModel model;
    model.setAuth(&session);
    QCOMPARE(model.focusedIndex(), LinkCodeModel::noFocus);
    model.shown();
    QVERIFY(!model.connectExpanded());
    QVERIFY(model.shortcutExpanded());
    QCOMPARE(model.focusedIndex(), 0);

    LinkCodeModel signedOut;
    signedOut.shown();
    QVERIFY(signedOut.connectExpanded());
    QVERIFY(!signedOut.shortcutExpanded());
    QCOMPARE(signedOut.focusedIndex(), 0);
}

void LinkCodeModelTest::relinkSignsOutAndEmptiesBoxesKeepingFocus()
{
    FakeSession session;
    LinkCodeModel model;
    model.setAuth(&session);
    fill(model, QStringLiteral("ABCD1234"));
    session.setAuthenticated(true);
    model.setFocusedIndex(7);

    model.relink();
    QCOMPARE(session.signOutCalls, 1);
    QCOMPARE(model.chars(), boxes(QStringLiteral("........")));
    QCOMPARE(model.focusedIndex(), 7);
    QVERIFY(model.connectExpanded());
    QVERIFY(!model.shortcutExpanded());
}

QTEST_GUILESS_MAIN(LinkCodeModelTest)
#include "LinkCodeModelTest.moc"
