#include "CaptureTestSupport.h"
#include "FakeSession.h"
#include "QuickItemSearch.h"
#include "TestSupport.h"
#include "capture/ShortcutManager.h"
#include "firstrun/LinkCodeModel.h"
#include "platform/SystemHotKeyService.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QtTest>

using namespace CaptureTest;

// Desktops without X11 (here: Qt's offscreen platform), where nothing can
// stand in for the portal: the user is told, in the shortcut section, how to
// bind `--capture` instead, and the log says it once.
class HotKeyFallbackTest : public QObject {
    Q_OBJECT

    static HotKeyService::Chord ctrlK()
    {
        HotKeyService::Chord chord;
        chord.evdevCode = 37;
        chord.control = true;
        chord.keysymName = QStringLiteral("k");
        chord.displayText = QStringLiteral("⌃K");
        return chord;
    }

private Q_SLOTS:
    // Neither a portal nor X11: no recorder, the command and where to bind it.
    void saysOnceThatNoMechanismExists()
    {
        LogCapture log;
        SystemHotKeyService service;
        QSignalSpy status(&service, &HotKeyService::statusChanged);
        QTRY_COMPARE_WITH_TIMEOUT(service.mechanism(), QStringLiteral("none"), 20000);
        QVERIFY(!status.isEmpty());
        service.registerHotKey(ctrlK());
        service.unregisterHotKey();
        service.registerHotKey(ctrlK());
        QVERIFY(!service.isKeyHeld());
        QCOMPARE(log.lines(LogChannel::Shell).count(SystemHotKeyService::noMechanismMessage), 1);
        QVERIFY(
            SystemHotKeyService::noMechanismMessage.contains(QStringLiteral("vocarta-menubar --capture")));

        // What the shortcut section shows, before anything is recorded.
        ShortcutManager manager(
            service, []() -> QCoro::Task<std::optional<QString>> { co_return std::nullopt; },
            [](std::optional<QString>) {});
        QVERIFY(!manager.canRecord());
        QVERIFY(
            manager.hotKeyProblem().contains(QStringLiteral("does not let programs set a global shortcut")));
        QVERIFY(manager.hotKeyProblem().contains(QStringLiteral("vocarta-menubar --capture")));
        QVERIFY(manager.hotKeyProblem().contains(SystemHotKeyService::whereToBindCommands()));

        // The shortcut section: the words instead of the recorder.
        FakeSession session;
        QQuickView view;
        view.setInitialProperties({{QStringLiteral("auth"), QVariant::fromValue<QObject *>(&session)},
                                   {QStringLiteral("shortcuts"), QVariant::fromValue(&manager)}});
        view.setSource(QUrl(QStringLiteral("qrc:/qt/qml/Vocarta/LinkCodeView.qml")));
        QVERIFY2(view.status() == QQuickView::Ready, qPrintable(view.errors().value(0).toString()));
        view.show();
        auto *page = view.rootObject()->findChild<LinkCodeModel *>();
        QVERIFY(page);
        if (!page->shortcutExpanded())
            page->toggleShortcut();
        QQuickItem *problem = findItem(view.rootObject(), QStringLiteral("shortcutProblem"));
        QQuickItem *recorder = findItem(view.rootObject(), QStringLiteral("shortcutRecorder"));
        QVERIFY(problem && recorder);
        QTRY_VERIFY_WITH_TIMEOUT(problem->isVisible(), 20000);
        QCOMPARE(problem->property("text").toString(), manager.hotKeyProblem());
        QVERIFY(!recorder->isVisible());
    }

    // A portal that binds nothing (as Plasma 5.27 behind a newer portal
    // does): the recorder stays (the next attempt may work), the section
    // says why and what to do instead.
    void portalThatBindsNothingIsExplained()
    {
        if (!inTestSession())
            QSKIP("runs inside scripts/with-session");
        auto portal = startHelper(QStringLiteral(FAKE_GLOBAL_SHORTCUTS), {});
        QVERIFY(portal);
        QDBusMessage empty = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/test"),
            QStringLiteral("org.vocarta.test.FakePortal"), QStringLiteral("SetBindAnswer"));
        empty << QStringLiteral("empty");
        QCOMPARE(QDBusConnection::sessionBus().call(empty, QDBus::Block, 20000).type(),
                 QDBusMessage::ReplyMessage);

        LogCapture log;
        SystemHotKeyService service;
        ShortcutManager manager(
            service, []() -> QCoro::Task<std::optional<QString>> { co_return std::nullopt; },
            [](std::optional<QString>) {});
        QSignalSpy status(&manager, &ShortcutManager::hotKeyStatusChanged);
        manager.set(KeyCombo(40, KeyCombo::ControlFlag));
        QTRY_VERIFY_WITH_TIMEOUT(!manager.hotKeyProblem().isEmpty(), 20000);
        QCOMPARE(service.mechanism(), QStringLiteral("portal"));
        QVERIFY(manager.canRecord());
        QCOMPARE(
            manager.hotKeyProblem(),
            QStringLiteral("The desktop did not set up this shortcut: the desktop bound no key to it. "
                           "Record it again, or bind the command vocarta-menubar --capture to a key in ") +
                SystemHotKeyService::whereToBindCommands() + u'.');
        QTRY_COMPARE_WITH_TIMEOUT(log.lines(LogChannel::Shell).filter(QStringLiteral("did not bind")).size(),
                                  1, 20000);

        // Removing the shortcut removes the complaint.
        manager.clear();
        QVERIFY(manager.hotKeyProblem().isEmpty());

        portal.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
                                     QStringLiteral("org.freedesktop.portal.Desktop")),
                                 20000);
    }
};

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("vocarta-tests"));
    QCoreApplication::setApplicationName(QStringLiteral("capture-fallback"));
    HotKeyFallbackTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "HotKeyFallbackTest.moc"
