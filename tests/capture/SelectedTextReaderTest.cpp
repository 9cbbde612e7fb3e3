#include "capture/SelectedTextReader.h"
#include "CaptureTestSupport.h"
#include "platform/SelectionSource.h"
#include "platform/SelectionSources.h"
#include "platform/atspi/AtspiSelectionSource.h"
#include "platform/x11/X11PrimarySelectionSource.h"

#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QLineEdit>
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
    void primaryOfTheActiveWindowIsRead();
    void stalePrimaryOfAnotherWindowIsIgnored();
    void focusedControlWithoutTextFallsBackToPrimary();
    void accessibilityOffLeavesPrimaryOnly();
    void requestAccessibilityTurnsItOn();
    void hungApplicationDoesNotFreezeTheEventLoop();
    void focusEventsSpareTheWalk();

private:
    std::optional<QString> capture();
    std::unique_ptr<Helper> startApp(const QStringList &arguments, const QStringList &env = accessible);

    AtspiSelectionSource m_accessibility;
    X11PrimarySelectionSource m_primary;
    // The program's own sources, which make the start-up request for accessibility.
    SelectionSources m_systemSources;
};

void SelectedTextReaderTest::initTestCase()
{
    if (!inTestSession())
        QSKIP("runs inside scripts/with-session");
    QVERIFY(X11PrimarySelectionSource::isAvailable());
}

void SelectedTextReaderTest::cleanup()
{
    // Every case starts with accessibility on, as the session does.
    QVERIFY(m_systemSources.enableAccessibility());
}

std::optional<QString> SelectedTextReaderTest::capture()
{
    SelectedTextReader reader({&m_accessibility, &m_primary});
    const auto result = await(reader.capture());
    if (!result)
        return QStringLiteral("<capture did not finish>");
    return *result;
}

std::unique_ptr<Helper> SelectedTextReaderTest::startApp(const QStringList &arguments, const QStringList &env)
{
    return startHelper(QStringLiteral(SELECTION_APP), arguments, "ready", env);
}

void SelectedTextReaderTest::readsTheSelectionOfTheFocusedField()
{
    auto app = startApp({QStringLiteral("--text"), QStringLiteral("the quick brown fox"),
                         QStringLiteral("--select"), QStringLiteral("4,15")});
    QVERIFY(app);
    QCOMPARE(capture(), std::optional<QString>(QStringLiteral("quick brown")));
    // Through the accessibility bus, not PRIMARY (a programmatic selection
    // does not set PRIMARY).
    const auto direct = await(m_accessibility.read());
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
    const auto direct = await(m_accessibility.read());
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
    // Each source on its own says the same about our own window.
    QCOMPARE(await(m_primary.read())->status, SelectionSource::Result::Status::NothingSelected);
}

void SelectedTextReaderTest::primaryOfTheActiveWindowIsRead()
{
    // No accessibility in this application: PRIMARY is the only way.
    auto app = startApp({QStringLiteral("--text"), QStringLiteral("field"), QStringLiteral("--primary"),
                         QStringLiteral(" primary words\nacross lines ")},
                        inaccessible);
    QVERIFY(app);
    QCOMPARE(await(m_accessibility.read())->status, SelectionSource::Result::Status::Unavailable);
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
    QCOMPARE(await(m_primary.read())->status, SelectionSource::Result::Status::Unavailable);
    QCOMPARE(capture(), std::nullopt);
}

void SelectedTextReaderTest::focusedControlWithoutTextFallsBackToPrimary()
{
    // Like a page whose selection is not in the focused control.
    auto app = startApp({QStringLiteral("--button"), QStringLiteral("--text"), QStringLiteral("field"),
                         QStringLiteral("--primary"), QStringLiteral("selected elsewhere")});
    QVERIFY(app);
    QCOMPARE(await(m_accessibility.read())->status, SelectionSource::Result::Status::Unavailable);
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
    QVERIFY(m_systemSources.enableAccessibility());
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

void SelectedTextReaderTest::focusEventsSpareTheWalk()
{
    AtspiSelectionSource accessibility;
    QCOMPARE(await(accessibility.start()), std::optional<bool>(true));
    auto app = startApp({QStringLiteral("--multiline"), QStringLiteral("--text"),
                         QStringLiteral("one two three"), QStringLiteral("--select"), QStringLiteral("4,7")});
    QVERIFY(app);
    const auto readsThroughFocusEvent = [&] {
        const auto result = await(accessibility.read());
        return result && result->status == SelectionSource::Result::Status::Selected &&
               result->text == QLatin1String("two") && accessibility.lastReadUsedFocusEvent();
    };
    QTRY_VERIFY_WITH_TIMEOUT(readsThroughFocusEvent(), 20000);
}

QTEST_MAIN(SelectedTextReaderTest)
#include "SelectedTextReaderTest.moc"
