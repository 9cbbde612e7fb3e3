#include "capture/SelectedTextReader.h"
#include "CaptureTestSupport.h"
#include "capture/ShortcutManager.h"
#include "platform/SelectionSource.h"
#include "platform/SelectionSources.h"
#include "platform/atspi/AtspiSelectionSource.h"
#include "platform/x11/X11FrontProcess.h"
#include "platform/x11/X11HotKeyService.h"
#include "platform/x11/X11PrimarySelectionSource.h"

#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <csignal>

#include <QCoroTask>

using namespace CaptureTest;

namespace {

const QStringList accessible{QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1")};
// An application that cannot reach the session bus exposes nothing to the
// accessibility bus (and starts no bus of its own).
const QStringList inaccessible{QStringLiteral("DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"),
                               QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=0")};

} // namespace

// Real applications on the test display, read over the real accessibility bus
// and the real PRIMARY selection.
class SelectedTextReaderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void readsTheSelectionOfTheFocusedField();
    void keepsLineBreaksAndSurroundingSpaces();
    void nothingSelectedIsAbsent();
    void ownFocusedWindowIsAbsent();
    void ownWindowStillSayingActiveIsLookedPast();
    void primaryOfTheActiveWindowIsRead();
    void stalePrimaryOfAnotherWindowIsIgnored();
    void focusedControlWithoutTextFallsBackToPrimary();
    void accessibilityOffLeavesPrimaryOnly();
    void requestAccessibilityTurnsItOn();
    void hungApplicationDoesNotFreezeTheEventLoop();
    void focusEventsSpareTheWalk_data();
    void focusEventsSpareTheWalk();
    void readsAtThePressInEveryToolkit_data();
    void readsAtThePressInEveryToolkit();
    void changedSelectionIsReadWhenReported_data();
    void changedSelectionIsReadWhenReported();
    void staleFocusRecordIsNeverRead_data();
    void staleFocusRecordIsNeverRead();
    void nothingInFrontAnswersAtOnce_data();
    void nothingInFrontAnswersAtOnce();

private:
    std::optional<QString> capture(AtspiSelectionSource *accessibility = nullptr);
    std::unique_ptr<Helper> startApp(const QStringList &arguments, const QStringList &env = accessible);
    std::unique_ptr<Helper> startGtkApp(const QStringList &arguments);
    // Waits until a read at the press gives `text`: the focus event has arrived.
    // Has `app` focus its field again now and then, unless it is null.
    bool knowsFocusedSelection(AtspiSelectionSource &source, Helper *app, const QString &text);

    AtspiSelectionSource m_accessibility{AtspiSelectionSource::Limits{},
                                         [] { return X11FrontProcess::processId(); }};
    X11PrimarySelectionSource m_primary;
};

void SelectedTextReaderTest::initTestCase()
{
    if (!inTestSession())
        QSKIP("runs inside scripts/with-session");
    QVERIFY(X11PrimarySelectionSource::isAvailable());
    QVERIFY(X11FrontProcess::isAvailable());
    // Follows the focus from the start, as the program does.
    QCOMPARE(await(m_accessibility.start()), std::optional<bool>(true));
    QCoreApplication::setOrganizationName(QStringLiteral("vocarta-tests"));
    QCoreApplication::setApplicationName(QStringLiteral("selected-text"));
}

void SelectedTextReaderTest::cleanup()
{
    // Every case starts with accessibility on, as the session does.
    QVERIFY(QCoro::waitFor(SelectionSources::enableAccessibility()));
}

std::optional<QString> SelectedTextReaderTest::capture(AtspiSelectionSource *accessibility)
{
    SelectedTextReader reader({accessibility ? accessibility : &m_accessibility, &m_primary});
    const auto result = await(reader.capture());
    if (!result)
        return QStringLiteral("<capture did not finish>");
    return *result;
}

std::unique_ptr<Helper> SelectedTextReaderTest::startApp(const QStringList &arguments, const QStringList &env)
{
    return startHelper(QStringLiteral(SELECTION_APP), arguments, "ready", env);
}

std::unique_ptr<Helper> SelectedTextReaderTest::startGtkApp(const QStringList &arguments)
{
    return startHelper(QStringLiteral("/usr/bin/python3"),
                       QStringList{QStringLiteral(GTK_SELECTION_APP)} + arguments);
}

bool SelectedTextReaderTest::knowsFocusedSelection(AtspiSelectionSource &source, Helper *app,
                                                   const QString &text)
{
    // A loaded machine can focus the field before the application's
    // accessibility bridge knows anyone listens, and that focus event is
    // lost: until it is heard, have the field focused once more now and then.
    QElapsedTimer sinceRefocus;
    sinceRefocus.start();
    return QTest::qWaitFor(
        [&] {
            const auto result = await(source.read());
            if (result && result->status == SelectionSource::Result::Status::Selected && result->text == text)
                return true;
            if (app && sinceRefocus.hasExpired(1000)) {
                app->process->write("refocus\n");
                sinceRefocus.restart();
            }
            return false;
        },
        60000);
}

void SelectedTextReaderTest::readsTheSelectionOfTheFocusedField()
{
    auto app = startApp({QStringLiteral("--text"), QStringLiteral("the quick brown fox"),
                         QStringLiteral("--select"), QStringLiteral("4,15")});
    QVERIFY(app);
    QCOMPARE(capture(), std::optional<QString>(QStringLiteral("quick brown")));
    // Through the accessibility bus, not PRIMARY (a programmatic selection
    // does not set PRIMARY).
    const auto direct = await(m_accessibility.readAfterRelease());
    QVERIFY(direct);
    QCOMPARE(direct->status, SelectionSource::Result::Status::Selected);
}

void SelectedTextReaderTest::keepsLineBreaksAndSurroundingSpaces()
{
    // "a  two words\n second line  b": select from after "a" to before "b".
    auto app = startApp({QStringLiteral("--multiline"), QStringLiteral("--text"),
                         QStringLiteral("a  two words\\n second line  b"), QStringLiteral("--select"),
                         QStringLiteral("1,27")});
    QVERIFY(app);
    QCOMPARE(capture(), std::optional<QString>(QStringLiteral("  two words\n second line  ")));
}

void SelectedTextReaderTest::nothingSelectedIsAbsent()
{
    auto app = startApp({QStringLiteral("--text"), QStringLiteral("nothing selected here")});
    QVERIFY(app);
    QCOMPARE(capture(), std::nullopt);
    const auto direct = await(m_accessibility.readAfterRelease());
    QVERIFY(direct);
    QCOMPARE(direct->status, SelectionSource::Result::Status::NothingSelected);
}

void SelectedTextReaderTest::ownFocusedWindowIsAbsent()
{
    auto other = startApp({QStringLiteral("--text"), QStringLiteral("not this one"),
                           QStringLiteral("--select"), QStringLiteral("0,3")});
    QVERIFY(other);
    QLineEdit own(QStringLiteral("our own words"));
    own.setSelection(0, 3);
    own.show();
    own.activateWindow();
    QTRY_VERIFY_WITH_TIMEOUT(own.isActiveWindow(), 20000);
    QCOMPARE(capture(), std::nullopt);
    // Each source on its own says the same about our own window, once the
    // window manager has caught up with the focus.
    QTRY_COMPARE_WITH_TIMEOUT(await(m_primary.read())->status,
                              SelectionSource::Result::Status::NothingSelected, 20000);
}

void SelectedTextReaderTest::ownWindowStillSayingActiveIsLookedPast()
{
    // Under Xwayland a window of ours just closed goes on saying it is
    // active until the focus change reaches it; the application in front is
    // read all the same. Nothing names it but the walk: no display to ask,
    // no focus event heard.
    QLineEdit own(QStringLiteral("our own words"));
    own.show();
    own.activateWindow();
    QTRY_VERIFY_WITH_TIMEOUT(own.isActiveWindow(), 20000);
    auto app = startApp({QStringLiteral("--text"), QStringLiteral("the quick brown fox"),
                         QStringLiteral("--select"), QStringLiteral("4,9")});
    QVERIFY(app);
    QTRY_VERIFY_WITH_TIMEOUT(!own.isActiveWindow(), 20000);
    QApplication::setActiveWindow(&own);
    QVERIFY(own.isActiveWindow());
    AtspiSelectionSource withoutDisplay;
    QCOMPARE(await(withoutDisplay.start()), std::optional<bool>(true));
    const auto result = await(withoutDisplay.readAfterRelease());
    QVERIFY(result);
    QCOMPARE(result->text, QStringLiteral("quick"));
}

void SelectedTextReaderTest::primaryOfTheActiveWindowIsRead()
{
    // No accessibility in this application: PRIMARY is the only way.
    auto app = startApp({QStringLiteral("--text"), QStringLiteral("field"), QStringLiteral("--primary"),
                         QStringLiteral(" primary words\nacross lines ")},
                        inaccessible);
    QVERIFY(app);
    QCOMPARE(await(m_accessibility.readAfterRelease())->status, SelectionSource::Result::Status::Unavailable);
    QCOMPARE(capture(), std::optional<QString>(QStringLiteral(" primary words\nacross lines ")));
}

void SelectedTextReaderTest::stalePrimaryOfAnotherWindowIsIgnored()
{
    auto owner = startApp({QStringLiteral("--title"), QStringLiteral("owner"), QStringLiteral("--primary"),
                           QStringLiteral("stale words")},
                          inaccessible);
    QVERIFY(owner);
    auto active = startApp({QStringLiteral("--title"), QStringLiteral("active")}, inaccessible);
    QVERIFY(active);
    // The window manager names the new window active a moment after it has the focus.
    QTRY_COMPARE_WITH_TIMEOUT(await(m_primary.read())->status, SelectionSource::Result::Status::Unavailable,
                              20000);
    QCOMPARE(capture(), std::nullopt);
}

void SelectedTextReaderTest::focusedControlWithoutTextFallsBackToPrimary()
{
    // Like a page whose selection is not in the focused control.
    auto app = startApp({QStringLiteral("--button"), QStringLiteral("--text"), QStringLiteral("field"),
                         QStringLiteral("--primary"), QStringLiteral("selected elsewhere")});
    QVERIFY(app);
    QCOMPARE(await(m_accessibility.readAfterRelease())->status, SelectionSource::Result::Status::Unavailable);
    QCOMPARE(capture(), std::optional<QString>(QStringLiteral("selected elsewhere")));
}

void SelectedTextReaderTest::accessibilityOffLeavesPrimaryOnly()
{
    auto app =
        startApp({QStringLiteral("--text"), QStringLiteral("the quick brown fox"), QStringLiteral("--select"),
                  QStringLiteral("4,9"), QStringLiteral("--primary"), QStringLiteral("from primary")});
    QVERIFY(app);
    QDBusMessage set = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
    set << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled")
        << QVariant::fromValue(QDBusVariant(false));
    QCOMPARE(QDBusConnection::sessionBus().call(set).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(await(AtspiSelectionSource::isEnabled(std::chrono::seconds(10))), std::optional<bool>(false));
    QCOMPARE(await(m_accessibility.read())->status, SelectionSource::Result::Status::Unavailable);
    QCOMPARE(capture(), std::optional<QString>(QStringLiteral("from primary")));
}

void SelectedTextReaderTest::requestAccessibilityTurnsItOn()
{
    QDBusMessage set = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
    set << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled")
        << QVariant::fromValue(QDBusVariant(false));
    QCOMPARE(QDBusConnection::sessionBus().call(set).type(), QDBusMessage::ReplyMessage);
    QVERIFY(QCoro::waitFor(SelectionSources::enableAccessibility()));
    QCOMPARE(await(AtspiSelectionSource::isEnabled(std::chrono::seconds(10))), std::optional<bool>(true));
}

void SelectedTextReaderTest::hungApplicationDoesNotFreezeTheEventLoop()
{
    auto app = startApp({QStringLiteral("--text"), QStringLiteral("frozen words"), QStringLiteral("--select"),
                         QStringLiteral("0,6"), QStringLiteral("--primary"), QStringLiteral("frozen")});
    QVERIFY(app);
    const qint64 pid = app->process->processId();
    QCOMPARE(::kill(pid_t(pid), SIGSTOP), 0);
    // The event loop keeps turning while the stopped application is asked.
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(10);
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start();
    AtspiSelectionSource::Limits limits;
    limits.callTimeout = std::chrono::milliseconds(200);
    limits.budget = std::chrono::milliseconds(600);
    AtspiSelectionSource accessibility(limits);
    X11PrimarySelectionSource primary;
    primary.setTimeout(std::chrono::milliseconds(200));
    SelectedTextReader reader({&accessibility, &primary});
    QElapsedTimer elapsed;
    elapsed.start();
    const auto result = await(reader.capture());
    const qint64 took = elapsed.elapsed();
    ::kill(pid_t(pid), SIGCONT);
    QVERIFY(result);
    QCOMPARE(*result, std::nullopt);
    // Bounded by the budgets, and the loop ran meanwhile (not a timing
    // assertion: a blocked loop would tick at most once or twice).
    QVERIFY2(took < 20000, qPrintable(QString::number(took)));
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
}

void SelectedTextReaderTest::focusEventsSpareTheWalk_data()
{
    QTest::addColumn<bool>("focusedBeforeStart");
    QTest::newRow("focus moves after the start") << false;
    // No focus event will come: the start looks for the focus once.
    QTest::newRow("focused before the start") << true;
}

void SelectedTextReaderTest::focusEventsSpareTheWalk()
{
    QFETCH(bool, focusedBeforeStart);
    AtspiSelectionSource accessibility(AtspiSelectionSource::Limits{},
                                       [] { return X11FrontProcess::processId(); });
    std::unique_ptr<Helper> app;
    const auto startTheApp = [&] {
        app = startApp({QStringLiteral("--multiline"), QStringLiteral("--text"),
                        QStringLiteral("one two three"), QStringLiteral("--select"), QStringLiteral("4,7")});
    };
    if (focusedBeforeStart)
        startTheApp();
    QCOMPARE(await(accessibility.start()), std::optional<bool>(true));
    if (!focusedBeforeStart)
        startTheApp();
    QVERIFY(app);
    // Asking the application to focus its field again would send the very
    // event the start must do without.
    QVERIFY(knowsFocusedSelection(accessibility, focusedBeforeStart ? nullptr : app.get(),
                                  QStringLiteral("two")));
    QVERIFY(accessibility.lastReadUsedFocusEvent());
}

void SelectedTextReaderTest::readsAtThePressInEveryToolkit_data()
{
    QTest::addColumn<bool>("gtk");
    QTest::addColumn<bool>("held");
    // GTK drops its window's "active" state while the shortcut's grab holds
    // the keyboard; Qt does not.
    QTest::newRow("GTK, key held") << true << true;
    QTest::newRow("GTK, released at once") << true << false;
    QTest::newRow("Qt, key held") << false << true;
    QTest::newRow("Qt, released at once") << false << false;
}

void SelectedTextReaderTest::readsAtThePressInEveryToolkit()
{
    QFETCH(bool, gtk);
    QFETCH(bool, held);
    const QStringList arguments{QStringLiteral("--text"), QStringLiteral("the quick brown fox"),
                                QStringLiteral("--select"), QStringLiteral("4,9")};
    auto app = gtk ? startGtkApp(arguments) : startApp(arguments);
    QVERIFY(app);
    QVERIFY(knowsFocusedSelection(m_accessibility, app.get(), QStringLiteral("quick")));

    // The road of the program: the real key grab, the manager, the reader.
    X11HotKeyService hotKeys;
    SelectedTextReader reader({&m_accessibility, &m_primary});
    std::optional<QString> shown;
    ShortcutManager *managerPointer = nullptr;
    ShortcutManager manager(
        hotKeys, [&] { return reader.capture([&] { return managerPointer->keyReleased(); }); },
        [&](std::optional<QString> text) { shown = std::move(text); });
    managerPointer = &manager;
    // Far longer than any test: a capture that waited for the release would
    // not finish while the key is held.
    manager.setReleaseWait(std::chrono::minutes(5));
    manager.set(KeyCombo(96, KeyCombo::ControlFlag | KeyCombo::ShiftFlag)); // ctrl+shift+F5
    QSignalSpy finished(&manager, &ShortcutManager::captureFinished);
    if (held) {
        QVERIFY(xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl+shift+F5")}));
        const bool done = finished.wait(20000);
        const bool stillHeld = hotKeys.isKeyHeld();
        // What the accessibility bus gives on its own while the key is down.
        const auto direct = await(m_accessibility.read());
        xdotool({QStringLiteral("keyup"), QStringLiteral("F5")});
        xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+shift")});
        QVERIFY(done);
        QVERIFY(stillHeld);
        QVERIFY(direct);
        QCOMPARE(direct->status, SelectionSource::Result::Status::Selected);
        QCOMPARE(direct->text, QStringLiteral("quick"));
    } else {
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+shift+F5")}));
        QVERIFY(finished.wait(20000));
    }
    QCOMPARE(shown, std::optional<QString>(QStringLiteral("quick")));
    manager.set(std::nullopt);
}

void SelectedTextReaderTest::changedSelectionIsReadWhenReported_data()
{
    QTest::addColumn<bool>("gtk");
    QTest::addColumn<bool>("multiline");
    QTest::newRow("GTK, one line") << true << false;
    // Its deletions move the text under a selection without a report that
    // the selection changed.
    QTest::newRow("GTK, several lines") << true << true;
    QTest::newRow("Qt, one line") << false << false;
    QTest::newRow("Qt, several lines") << false << true;
}

void SelectedTextReaderTest::changedSelectionIsReadWhenReported()
{
    QFETCH(bool, gtk);
    QFETCH(bool, multiline);
    QStringList arguments{QStringLiteral("--text"), QStringLiteral("red green blue"),
                          QStringLiteral("--select"), QStringLiteral("0,3")};
    if (multiline)
        arguments.prepend(QStringLiteral("--multiline"));
    auto app = gtk ? startGtkApp(arguments) : startApp(arguments);
    QVERIFY(app);
    QVERIFY(knowsFocusedSelection(m_accessibility, app.get(), QStringLiteral("red")));
    const auto atPress = [&] {
        const auto result = await(m_accessibility.read());
        return result ? result->text : QStringLiteral("<no answer>");
    };
    // As a person selects another word, deletes it, selects again, and
    // presses the shortcut after each.
    const std::pair<const char *, QString> changes[]{{"select 4,9", QStringLiteral("green")},
                                                     {"delete", QString()},
                                                     {"select 0,3", QStringLiteral("red")}};
    for (const auto &[command, word] : changes) {
        app->process->write(QByteArray(command) + '\n');
        // Until the application's report is read, a press asks it instead;
        // an answer kept from before the change would never give the new word.
        QTRY_VERIFY_WITH_TIMEOUT(atPress() == word && m_accessibility.lastReadWasRemembered(), 20000);
        // Kept for the next press, not used up by this one.
        QCOMPARE(atPress(), word);
        QVERIFY(m_accessibility.lastReadWasRemembered());
    }
}

void SelectedTextReaderTest::staleFocusRecordIsNeverRead_data()
{
    QTest::addColumn<bool>("sameApplication");
    QTest::addColumn<bool>("displayKnowsFront");
    QTest::newRow("another application in front") << false << true;
    QTest::newRow("another application in front, no display to ask") << false << false;
    QTest::newRow("another window of the same application") << true << true;
}

void SelectedTextReaderTest::staleFocusRecordIsNeverRead()
{
    QFETCH(bool, sameApplication);
    QFETCH(bool, displayKnowsFront);
    // Without the display (Wayland), only the accessibility bus can tell.
    AtspiSelectionSource withoutDisplay;
    AtspiSelectionSource &source = displayKnowsFront ? m_accessibility : withoutDisplay;
    if (!displayKnowsFront)
        QCOMPARE(await(source.start()), std::optional<bool>(true));

    auto app = startGtkApp({QStringLiteral("--text"), QStringLiteral("stale words"),
                            QStringLiteral("--select"), QStringLiteral("0,5")});
    QVERIFY(app);
    QVERIFY(knowsFocusedSelection(source, app.get(), QStringLiteral("stale")));

    std::unique_ptr<Helper> other;
    if (sameApplication) {
        app->process->write("second-window\n");
        QTRY_VERIFY_WITH_TIMEOUT(app->output.contains("second ready"), 20000);
    } else {
        // Nothing on the accessibility bus tells of this one.
        other = startApp({QStringLiteral("--title"), QStringLiteral("in front"), QStringLiteral("--text"),
                          QStringLiteral("other")},
                         inaccessible);
        QVERIFY(other);
    }
    // Whatever events are still on their way: none brings the old text back.
    for (int i = 0; i < 5; ++i) {
        const auto atPress = await(source.read());
        QVERIFY(atPress);
        QVERIFY2(atPress->text.isEmpty(), qPrintable(atPress->text));
        const auto afterRelease = await(source.readAfterRelease());
        QVERIFY(afterRelease);
        QVERIFY2(afterRelease->text.isEmpty(), qPrintable(afterRelease->text));
        QTest::qWait(50);
    }
    // PRIMARY still belongs to the GTK window: only another client's window
    // in front keeps it out.
    if (!sameApplication)
        QCOMPARE(capture(&source), std::nullopt);
}

void SelectedTextReaderTest::nothingInFrontAnswersAtOnce_data()
{
    QTest::addColumn<bool>("displayKnowsFront");
    // No active window will appear on the accessibility bus, so there is no
    // second look.
    QTest::newRow("an application in front that is not on the accessibility bus") << true;
    // Without the display (Wayland) only the last focus event can tell, and
    // its application has quit since.
    QTest::newRow("no display to ask, the application last focused has quit") << false;
}

void SelectedTextReaderTest::nothingInFrontAnswersAtOnce()
{
    QFETCH(bool, displayKnowsFront);
    AtspiSelectionSource withoutDisplay;
    AtspiSelectionSource &source = displayKnowsFront ? m_accessibility : withoutDisplay;
    if (displayKnowsFront) {
        auto app = startApp({QStringLiteral("--text"), QStringLiteral("field")}, inaccessible);
        QVERIFY(app);
        const auto result = await(source.readAfterRelease());
        QVERIFY(result);
        QCOMPARE(result->status, SelectionSource::Result::Status::Unavailable);
    } else {
        QCOMPARE(await(source.start()), std::optional<bool>(true));
        auto app = startApp({QStringLiteral("--text"), QStringLiteral("gone words"),
                             QStringLiteral("--select"), QStringLiteral("0,4")});
        QVERIFY(app);
        QVERIFY(knowsFocusedSelection(source, app.get(), QStringLiteral("gone")));
        app.reset();
        QVERIFY(await(source.readAfterRelease()));
    }
    // Counted as bus calls rather than timed: a retry would walk the
    // registry again.
    QCOMPARE(source.lastWalkCount(), 1);
}

QTEST_MAIN(SelectedTextReaderTest)
#include "SelectedTextReaderTest.moc"
