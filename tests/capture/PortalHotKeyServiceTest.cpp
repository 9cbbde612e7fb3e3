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

    const QStringList calls = portalCalls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls.at(0), QStringLiteral("CreateSession"));
    QCOMPARE(calls.at(1), QStringLiteral("BindShortcuts ") + service.sessionHandle() +
                              QStringLiteral(" capture|CTRL+SHIFT+k|Add a card from the selected text"));

    // Activations of another shortcut or another session are not ours.
    control(QStringLiteral("Activate"), {QStringLiteral("something-else")});
    control(
        QStringLiteral("ActivateSession"),
        {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/freedesktop/portal/desktop/session/x/y"))),
         PortalHotKeyService::shortcutId});
    control(QStringLiteral("Activate"), {PortalHotKeyService::shortcutId});
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
    const QString first = service.sessionHandle();

    HotKeyService::Chord other = ctrlShiftK();
    other.keysymName = QStringLiteral("l");
    service.unregisterHotKey();
    QVERIFY(service.sessionHandle().isEmpty());
    service.registerHotKey(other);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 20000);
    const QString second = service.sessionHandle();
    QVERIFY(second != first);
    const QStringList calls = portalCalls();
    QVERIFY2(calls.contains(QStringLiteral("Close ") + first), qPrintable(calls.join(u'\n')));
    QVERIFY(calls.last().endsWith(QStringLiteral("capture|CTRL+SHIFT+l|Add a card from the selected text")));

    // The old session's activation no longer fires.
    control(QStringLiteral("ActivateSession"),
            {QVariant::fromValue(QDBusObjectPath(first)), PortalHotKeyService::shortcutId});
    control(QStringLiteral("Activate"), {PortalHotKeyService::shortcutId});
    QVERIFY(fired.wait(20000));
    QCOMPARE(fired.count(), 1);

    // Removing it closes the session too.
    service.unregisterHotKey();
    QTRY_VERIFY_WITH_TIMEOUT(portalCalls().contains(QStringLiteral("Close ") + second), 20000);
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
    QVERIFY(portalCalls().last().contains(QStringLiteral("capture|CTRL+SHIFT+k|")));
    control(QStringLiteral("Activate"), {PortalHotKeyService::shortcutId});
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
    control(QStringLiteral("Activate"), {PortalHotKeyService::shortcutId});
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
