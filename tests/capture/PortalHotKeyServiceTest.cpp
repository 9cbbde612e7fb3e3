#include "platform/portal/PortalHotKeyService.h"
#include "CaptureTestSupport.h"
#include "TestSupport.h"
#include "capture/ShortcutManager.h"
#include "platform/SystemHotKeyService.h"

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
    void bindsTheShortcutAndFiresOnActivated();
    void rebindingClosesTheOldSession();
    void refusedBindIsLoggedAndDoesNotFire();
    void shortcutManagerRunsTheCaptureThroughThePortal();
    void systemServicePrefersThePortal();

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
    QCOMPARE(PortalHotKeyService::triggerFor(ctrlShiftK()), QStringLiteral("CTRL+SHIFT+k"));
    HotKeyService::Chord all;
    all.control = all.alt = all.shift = all.super = true;
    all.keysymName = QStringLiteral("F5");
    QCOMPARE(PortalHotKeyService::triggerFor(all), QStringLiteral("CTRL+ALT+SHIFT+LOGO+F5"));
    HotKeyService::Chord bare;
    bare.keysymName = QStringLiteral("space");
    QCOMPARE(PortalHotKeyService::triggerFor(bare), QStringLiteral("space"));
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
    const QStringList calls = portalCalls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls.at(0), QStringLiteral("CreateSession ") + service.sessionHandle());
    QCOMPARE(calls.at(1),
             QStringLiteral("BindShortcuts ") + service.sessionHandle() +
                 QStringLiteral(" capture:CTRL+SHIFT+k|CTRL+SHIFT+k|Add a card from the selected text"));

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
    const QStringList calls = portalCalls();
    QCOMPARE(calls.size(), 5);
    QCOMPARE(calls.at(0), QStringLiteral("CreateSession ") + session);
    QCOMPARE(calls.at(2), QStringLiteral("Close ") + session);
    QCOMPARE(calls.at(3), QStringLiteral("CreateSession ") + session);
    QVERIFY(calls.at(4).endsWith(
        QStringLiteral(" capture:CTRL+SHIFT+l|CTRL+SHIFT+l|Add a card from the selected text")));

    // The old shortcut's activation no longer fires.
    control(QStringLiteral("Activate"), {firstId});
    control(QStringLiteral("Activate"), {service.boundShortcutId()});
    QVERIFY(fired.wait(20000));
    QCOMPARE(fired.count(), 1);

    // Removing it closes the session too.
    service.unregisterHotKey();
    QVERIFY(service.boundShortcutId().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(portalCalls().size(), 6, 20000);
    QCOMPARE(portalCalls().last(), QStringLiteral("Close ") + session);
}

void PortalHotKeyServiceTest::refusedBindIsLoggedAndDoesNotFire()
{
    control(QStringLiteral("SetRefuseBind"), {true});
    LogCapture log;
    PortalHotKeyService service(QDBusConnection::sessionBus());
    QSignalSpy finished(&service, &PortalHotKeyService::registrationFinished);
    service.registerHotKey(ctrlShiftK());
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.first().first().toBool(), false);
    QCOMPARE(log.lines(LogChannel::Shell).filter(QStringLiteral("did not bind the shortcut ⌃⇧K")).size(), 1);
}

void PortalHotKeyServiceTest::shortcutManagerRunsTheCaptureThroughThePortal()
{
    QSettings().clear();
    PortalHotKeyService service(QDBusConnection::sessionBus());
    QSignalSpy finished(&service, &PortalHotKeyService::registrationFinished);
    QList<std::optional<QString>> shown;
    ShortcutManager manager(
        service, []() -> QCoro::Task<std::optional<QString>> { co_return QStringLiteral("from the portal"); },
        [&](std::optional<QString> text) { shown.append(text); });
    manager.set(KeyCombo(40, KeyCombo::ControlFlag | KeyCombo::ShiftFlag));
    QVERIFY(finished.wait(20000));
    QVERIFY(portalCalls().last().contains(QStringLiteral("capture:CTRL+SHIFT+k|CTRL+SHIFT+k|")));
    control(QStringLiteral("Activate"), {service.boundShortcutId()});
    QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 1, 20000);
    QCOMPARE(shown.first(), std::optional<QString>(QStringLiteral("from the portal")));
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

QTEST_MAIN(PortalHotKeyServiceTest)
#include "PortalHotKeyServiceTest.moc"
