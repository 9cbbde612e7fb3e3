#include "platform/portal/PortalHotKeyService.h"
#include "CaptureTestSupport.h"
#include "TestSupport.h"
#include "capture/ShortcutManager.h"
#include "platform/SystemHotKeyService.h"
#include "platform/portal/PortalTrigger.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QGuiApplication>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

using namespace CaptureTest;

namespace {

QDBusMessage control(const QString &member, const QVariantList &args = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
                                                       QStringLiteral("/test"),
                                                       QStringLiteral("org.vocarta.test.FakePortal"), member);
    call.setArguments(args);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 20000);
}

QStringList portalCalls()
{
    return control(QStringLiteral("Calls")).arguments().value(0).toStringList();
}

// The calls seen, by method name only.
QStringList portalMethods()
{
    QStringList methods;
    for (const QString &call : portalCalls())
        methods << call.section(u' ', 0, 0);
    return methods;
}

HotKeyService::Chord ctrlShiftK()
{
    HotKeyService::Chord chord;
    chord.evdevCode = 37;
    chord.control = true;
    chord.shift = true;
    chord.keysymName = QStringLiteral("k");
    chord.displayText = QStringLiteral("⌃⇧K");
    return chord;
}

} // namespace

// The portal backend against a fake GlobalShortcuts service on the test bus.
// The fake answers each request before replying to the call, so these cases
// also show that requests are subscribed before they are made.
class PortalHotKeyServiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void triggerFormat();
    void desktopWordsForTheChord_data();
    void desktopWordsForTheChord();
    void bindsTheShortcutAndFiresOnActivated();
    void readsBackWhatTheDesktopBound_data();
    void readsBackWhatTheDesktopBound();
    void rebindingClosesTheOldSession();
    void rebindingInTheDesktopIsFollowed();
    void shortcutManagerRunsTheCaptureThroughThePortal();
    void systemServicePrefersThePortal();
    void failedPortalOnX11FallsBackToTheGrab_data();
    void failedPortalOnX11FallsBackToTheGrab();

private:
    std::unique_ptr<Helper> m_portal;
};

void PortalHotKeyServiceTest::initTestCase()
{
    if (!inTestSession())
        QSKIP("runs inside scripts/with-session");
    QCoreApplication::setOrganizationName(QStringLiteral("vocarta-tests"));
    QCoreApplication::setApplicationName(QStringLiteral("capture-portal"));
}

void PortalHotKeyServiceTest::init()
{
    m_portal = startHelper(QStringLiteral(FAKE_GLOBAL_SHORTCUTS), {});
    QVERIFY(m_portal);
    QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(
                                 QStringLiteral("org.freedesktop.portal.Desktop")),
                             20000);
}

void PortalHotKeyServiceTest::cleanup()
{
    m_portal.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
                                 QStringLiteral("org.freedesktop.portal.Desktop")),
                             20000);
}

void PortalHotKeyServiceTest::triggerFormat()
{
    QCOMPARE(PortalTrigger::fromChord(ctrlShiftK()), QStringLiteral("CTRL+SHIFT+k"));
    HotKeyService::Chord all;
    all.control = all.alt = all.shift = all.super = true;
    all.keysymName = QStringLiteral("F5");
    QCOMPARE(PortalTrigger::fromChord(all), QStringLiteral("CTRL+ALT+SHIFT+LOGO+F5"));
    HotKeyService::Chord bare;
    bare.keysymName = QStringLiteral("space");
    QCOMPARE(PortalTrigger::fromChord(bare), QStringLiteral("space"));
}

// What desktops write back for the trigger they bound, against the chord we
// asked for: only a description of exactly that chord counts as ours.
void PortalHotKeyServiceTest::desktopWordsForTheChord_data()
{
    QTest::addColumn<QString>("keysym");
    QTest::addColumn<QString>("modifiers"); // letters c a s m
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("describes");

    const auto row = [](const char *name, const char *keysym, const char *modifiers, const char *description,
                        bool describes) {
        QTest::newRow(name) << keysym << modifiers << description << describes;
    };
    row("KDE", "k", "cs", "Ctrl+Shift+K", true);
    row("KDE, other order", "k", "cs", "Shift+Ctrl+K", true);
    row("KDE, modifier missing", "k", "cs", "Ctrl+K", false);
    row("KDE, modifier added", "k", "cs", "Ctrl+Alt+Shift+K", false);
    row("KDE, user's own", "k", "cs", "Meta+X", false);
    row("KDE, two triggers", "k", "cs", "Meta+X, Ctrl+Shift+K", true);
    row("KDE, space", "space", "ca", "Ctrl+Alt+Space", true);
    row("KDE, minus", "minus", "ca", "Ctrl+Alt+-", true);
    row("KDE, super is Meta", "F5", "m", "Meta+F5", true);
    row("KDE, page down", "Next", "c", "Ctrl+PgDown", true);
    row("GNOME", "k", "cs", "Press <Control><Shift>k", true);
    row("GNOME, two", "k", "cs", "Press <Super>x or <Primary><Shift>k", true);
    row("GNOME, other", "k", "cs", "Press <Control>k", false);
    row("GNOME, unknown modifier", "k", "c", "Press <Hyper><Control>k", false);
    row("nothing", "k", "cs", "", false);
    row("words only", "k", "cs", "Not bound", false);
}

void PortalHotKeyServiceTest::desktopWordsForTheChord()
{
    QFETCH(QString, keysym);
    QFETCH(QString, modifiers);
    QFETCH(QString, description);
    QFETCH(bool, describes);
    HotKeyService::Chord chord;
    chord.keysymName = keysym;
    chord.control = modifiers.contains(u'c');
    chord.alt = modifiers.contains(u'a');
    chord.shift = modifiers.contains(u's');
    chord.super = modifiers.contains(u'm');
    QCOMPARE(PortalTrigger::describes(description, chord), describes);
}

void PortalHotKeyServiceTest::bindsTheShortcutAndFiresOnActivated()
{
    QVERIFY(await(PortalHotKeyService::isAvailable(QDBusConnection::sessionBus(), std::chrono::seconds(10)))
                .value_or(false));
    PortalHotKeyService service(QDBusConnection::sessionBus());
    QSignalSpy finished(&service, &PortalHotKeyService::registrationFinished);
    QSignalSpy fired(&service, &HotKeyService::activated);
    service.registerHotKey(ctrlShiftK());
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.first().first().toBool(), true);

    // The session token is the same on every run (see sessionToken).
    QVERIFY(service.sessionHandle().endsWith(u'/' + PortalHotKeyService::sessionToken));
    QCOMPARE(service.boundShortcutId(), QStringLiteral("capture:CTRL+SHIFT+k"));
    QCOMPARE(service.boundTrigger(), QStringLiteral("Ctrl+Shift+K"));
    QVERIFY(service.desktopTrigger().isEmpty());
    QVERIFY(service.failureReason().isEmpty());
    // The shortcut goes with the session too, for desktops that bind only from there.
    const QString shortcut =
        QStringLiteral("capture:CTRL+SHIFT+k|CTRL+SHIFT+k|Add a card from the selected text");
    QCOMPARE(portalCalls(),
             QStringList({QStringLiteral("CreateSession ") + service.sessionHandle() + u' ' + shortcut,
                          QStringLiteral("BindShortcuts ") + service.sessionHandle() + u' ' + shortcut}));

    // Activations of another shortcut or another session are not ours.
    control(QStringLiteral("Activate"), {QStringLiteral("something-else")});
    const QVariantList otherSession{
        QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/freedesktop/portal/desktop/session/x/y"))),
        service.boundShortcutId()};
    control(QStringLiteral("ActivateSession"), otherSession);
    control(QStringLiteral("Activate"), {service.boundShortcutId()});
    QVERIFY(fired.wait(20000));
    QCOMPARE(fired.count(), 1);
    QCOMPARE(fired.first().first().toUInt(), 0u);
}

// The ways desktops answer: where the trigger is read from, and what counts
// as bound.
void PortalHotKeyServiceTest::readsBackWhatTheDesktopBound_data()
{
    QTest::addColumn<QString>("createAnswer");
    QTest::addColumn<QString>("bindAnswer");
    QTest::addColumn<QString>("desktopChoice");
    QTest::addColumn<QStringList>("methods");
    QTest::addColumn<bool>("bound");
    QTest::addColumn<QString>("desktopTrigger");
    QTest::addColumn<QString>("failure");

    const QString create = QStringLiteral("CreateSession");
    const QString bind = QStringLiteral("BindShortcuts");
    const QString list = QStringLiteral("ListShortcuts");
    const auto row = [](const char *name, const char *createAnswer, const char *bindAnswer,
                        const char *desktopChoice, const QStringList &methods, bool bound,
                        const char *desktopTrigger, const char *failure) {
        QTest::newRow(name) << createAnswer << bindAnswer << desktopChoice << methods << bound
                            << desktopTrigger << failure;
    };
    // Plasma 5.27 binds at CreateSession and says so: no second request,
    // which would open its shortcut settings at every start.
    row("bound with the session", "list", "list", "", {create}, true, "", "");
    row("bind answer lists it", "plain", "list", "", {create, bind}, true, "", "");
    row("bind answer without a list", "plain", "none", "", {create, bind, list}, true, "", "");
    row("desktop chose another key", "plain", "list", "Meta+X", {create, bind}, true, "Meta+X", "");
    row("bound at creation to another key", "list", "list", "Meta+X", {create}, true, "Meta+X", "");
    row("nothing bound", "plain", "empty", "", {create, bind}, false, "", "the desktop bound no key to it");
    row("declined", "plain", "declined", "", {create, bind}, false, "",
        "the request to bind it was declined");
    row("no session", "fail", "list", "", {create}, false, "", "no shortcut session was opened");
}

void PortalHotKeyServiceTest::readsBackWhatTheDesktopBound()
{
    QFETCH(QString, createAnswer);
    QFETCH(QString, bindAnswer);
    QFETCH(QString, desktopChoice);
    QFETCH(QStringList, methods);
    QFETCH(bool, bound);
    QFETCH(QString, desktopTrigger);
    QFETCH(QString, failure);
    control(QStringLiteral("SetCreateAnswer"), {createAnswer});
    control(QStringLiteral("SetBindAnswer"), {bindAnswer});
    control(QStringLiteral("SetDesktopTrigger"), {desktopChoice});

    PortalHotKeyService service(QDBusConnection::sessionBus());
    QSignalSpy finished(&service, &PortalHotKeyService::registrationFinished);
    QSignalSpy fired(&service, &HotKeyService::activated);
    service.registerHotKey(ctrlShiftK());
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.first().first().toBool(), bound);
    QCOMPARE(portalMethods(), methods);
    QCOMPARE(service.desktopTrigger(), desktopTrigger);
    QCOMPARE(service.failureReason(), failure);
    // Only a bound shortcut fires (activations need a bound id).
    QCOMPARE(service.boundShortcutId().isEmpty(), !bound);
    if (bound) {
        control(QStringLiteral("Activate"), {QStringLiteral("capture:CTRL+SHIFT+k")});
        QVERIFY(fired.wait(20000));
    }
}

void PortalHotKeyServiceTest::rebindingClosesTheOldSession()
{
    PortalHotKeyService service(QDBusConnection::sessionBus());
    QSignalSpy finished(&service, &PortalHotKeyService::registrationFinished);
    QSignalSpy fired(&service, &HotKeyService::activated);
    service.registerHotKey(ctrlShiftK());
    QVERIFY(finished.wait(20000));
    const QString session = service.sessionHandle();
    const QString firstId = service.boundShortcutId();

    // Replaced at once, without an unregister in between: the old session is
    // closed before the new one (same path) is created.
    HotKeyService::Chord other = ctrlShiftK();
    other.keysymName = QStringLiteral("l");
    service.registerHotKey(other);
    QVERIFY(service.sessionHandle().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 20000);
    QCOMPARE(finished.last().first().toBool(), true);
    QCOMPARE(service.sessionHandle(), session);
    QCOMPARE(service.boundTrigger(), QStringLiteral("Ctrl+Shift+L"));
    const QStringList calls = portalCalls();
    QCOMPARE(calls.size(), 5);
    QVERIFY(calls.at(0).startsWith(QStringLiteral("CreateSession ") + session));
    QCOMPARE(calls.at(2), QStringLiteral("Close ") + session);
    QVERIFY(calls.at(3).startsWith(QStringLiteral("CreateSession ") + session));
    QVERIFY(calls.at(4).endsWith(
        QStringLiteral(" capture:CTRL+SHIFT+l|CTRL+SHIFT+l|Add a card from the selected text")));

    // The old shortcut's activation no longer fires.
    control(QStringLiteral("Activate"), {firstId});
    control(QStringLiteral("Activate"), {service.boundShortcutId()});
    QVERIFY(fired.wait(20000));
    QCOMPARE(fired.count(), 1);

    // Two replacements in a row, the second while the first session is
    // still being created: one session, with the last chord.
    HotKeyService::Chord third = ctrlShiftK();
    third.keysymName = QStringLiteral("j");
    service.registerHotKey(ctrlShiftK());
    service.registerHotKey(third);
    QTRY_COMPARE_WITH_TIMEOUT(service.boundShortcutId(), QStringLiteral("capture:CTRL+SHIFT+j"), 20000);
    QVERIFY(!portalCalls().contains(QStringLiteral("CreateSession refused: exists")));
    QTRY_VERIFY_WITH_TIMEOUT(portalCalls().last().startsWith(QStringLiteral("BindShortcuts")), 20000);

    // Removing it closes the session too.
    const int before = portalCalls().size();
    service.unregisterHotKey();
    QVERIFY(service.boundShortcutId().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(portalCalls().size(), before + 1, 20000);
    QCOMPARE(portalCalls().last(), QStringLiteral("Close ") + session);
}

// The user gives our shortcut another key in the desktop's settings (or
// removes it): that is what fires now, so that is what is shown.
void PortalHotKeyServiceTest::rebindingInTheDesktopIsFollowed()
{
    LogCapture log;
    PortalHotKeyService service(QDBusConnection::sessionBus());
    QSignalSpy finished(&service, &PortalHotKeyService::registrationFinished);
    QSignalSpy status(&service, &HotKeyService::statusChanged);
    service.registerHotKey(ctrlShiftK());
    QVERIFY(finished.wait(20000));
    QVERIFY(service.desktopTrigger().isEmpty());

    status.clear();
    control(QStringLiteral("ChangeTrigger"), {QStringLiteral("Meta+X")});
    QVERIFY(status.wait(20000));
    QCOMPARE(service.desktopTrigger(), QStringLiteral("Meta+X"));
    QCOMPARE(log.lines(LogChannel::Shell).filter(QStringLiteral("binds the shortcut to Meta+X")).size(), 1);

    // Back to the recorded keys: nothing special to show.
    control(QStringLiteral("ChangeTrigger"), {QStringLiteral("Ctrl+Shift+K")});
    QTRY_VERIFY_WITH_TIMEOUT(service.desktopTrigger().isEmpty(), 20000);
    QCOMPARE(service.boundTrigger(), QStringLiteral("Ctrl+Shift+K"));

    control(QStringLiteral("ChangeTrigger"), {QString()});
    QTRY_COMPARE_WITH_TIMEOUT(service.failureReason(),
                              QStringLiteral("the desktop's settings bind no key to it"), 20000);
}

void PortalHotKeyServiceTest::shortcutManagerRunsTheCaptureThroughThePortal()
{
    QSettings().clear();
    control(QStringLiteral("SetDesktopTrigger"), {QStringLiteral("Meta+X")});
    PortalHotKeyService service(QDBusConnection::sessionBus());
    QSignalSpy finished(&service, &PortalHotKeyService::registrationFinished);
    QList<std::optional<QString>> shown;
    ShortcutManager manager(
        service, []() -> QCoro::Task<std::optional<QString>> { co_return QStringLiteral("from the portal"); },
        [&](std::optional<QString> text) { shown.append(text); });
    QSignalSpy status(&manager, &ShortcutManager::hotKeyStatusChanged);
    manager.set(KeyCombo(40, KeyCombo::ControlFlag | KeyCombo::ShiftFlag));
    QVERIFY(finished.wait(20000));
    QVERIFY(portalCalls().last().contains(QStringLiteral("capture:CTRL+SHIFT+k|CTRL+SHIFT+k|")));
    // The views see the key the desktop chose instead of the recorded one.
    QVERIFY(!status.isEmpty());
    QCOMPARE(manager.property("desktopTrigger").toString(), QStringLiteral("Meta+X"));
    QVERIFY(manager.property("hotKeyProblem").toString().isEmpty());
    QVERIFY(manager.property("canRecord").toBool());
    control(QStringLiteral("Activate"), {service.boundShortcutId()});
    QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 1, 20000);
    QCOMPARE(shown.first(), std::optional<QString>(QStringLiteral("from the portal")));

    manager.clear();
    QVERIFY(manager.property("desktopTrigger").toString().isEmpty());
}

void PortalHotKeyServiceTest::systemServicePrefersThePortal()
{
    SystemHotKeyService service;
    QSignalSpy fired(&service, &HotKeyService::activated);
    service.registerHotKey(ctrlShiftK());
    QTRY_COMPARE_WITH_TIMEOUT(service.mechanism(), QStringLiteral("portal"), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(portalCalls().size(), 2, 20000);
    control(QStringLiteral("Activate"), {QStringLiteral("capture:CTRL+SHIFT+k")});
    QVERIFY(fired.wait(20000));

    // Without a portal on the bus, the X11 grab is used on this X11 session.
    m_portal.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
                                 QStringLiteral("org.freedesktop.portal.Desktop")),
                             20000);
    SystemHotKeyService withoutPortal;
    withoutPortal.registerHotKey(ctrlShiftK());
    QTRY_COMPARE_WITH_TIMEOUT(withoutPortal.mechanism(), QStringLiteral("x11"), 20000);
}

// A portal that is there but binds nothing (xdg-desktop-portal-kde installed
// on a desktop that is not KDE; a portal that drops the shortcuts): on X11
// the grab takes over at once, said once in the log, and the key works.
void PortalHotKeyServiceTest::failedPortalOnX11FallsBackToTheGrab_data()
{
    QTest::addColumn<QString>("createAnswer");
    QTest::addColumn<QString>("bindAnswer");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no session") << "fail"
                                << "list"
                                << "no shortcut session was opened";
    QTest::newRow("nothing bound") << "plain"
                                   << "empty"
                                   << "the desktop bound no key to it";
}

void PortalHotKeyServiceTest::failedPortalOnX11FallsBackToTheGrab()
{
    QFETCH(QString, createAnswer);
    QFETCH(QString, bindAnswer);
    QFETCH(QString, reason);
    control(QStringLiteral("SetCreateAnswer"), {createAnswer});
    control(QStringLiteral("SetBindAnswer"), {bindAnswer});
    LogCapture log;
    SystemHotKeyService service;
    QSignalSpy fired(&service, &HotKeyService::activated);
    service.registerHotKey(ctrlShiftK());
    QTRY_COMPARE_WITH_TIMEOUT(service.mechanism(), QStringLiteral("x11"), 20000);
    QVERIFY(service.problem().isEmpty());
    const QStringList lines = log.lines(LogChannel::Shell);
    QCOMPARE(lines
                 .filter(QStringLiteral("did not bind the shortcut ⌃⇧K: ") + reason +
                         QStringLiteral(". Using the X11 key grab instead."))
                 .size(),
             1);
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+shift+k")}));
    QVERIFY(fired.wait(20000));
}

QTEST_MAIN(PortalHotKeyServiceTest)
#include "PortalHotKeyServiceTest.moc"
