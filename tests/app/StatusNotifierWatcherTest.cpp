// A login start: the panel's StatusNotifierWatcher appears on the bus only
// after the program has started. The program waits for it and then shows its
// item there (Qt looks for the watcher only once).
#include "FakeDeckState.h"
#include "FakeSession.h"
#include "FakeSubsystems.h"
#include "app/AppShell.h"
#include "app/AppWindows.h"
#include "platform/TrayHost.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QThread>
#include <QTimer>

#include <QtTest>
#include <atomic>

namespace {

// The part of the watcher that Qt talks to.
class FakeWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
public:
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return {}; }
    std::atomic<int> registrations{0};

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString &) { ++registrations; }
    void RegisterStatusNotifierHost(const QString &) {}

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString &service);
    void StatusNotifierItemUnregistered(const QString &service);
    void StatusNotifierHostRegistered();
};

} // namespace

class StatusNotifierWatcherTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void waitsForTheWatcherThenShowsTheItem()
    {
        FakeSession auth;
        auth.finishRestore(true);
        FakeDeckState decks;
        FakeSubsystems subsystems;
        AppShell shell(auth, decks, subsystems, AppShell::Options{std::chrono::seconds(30)});
        QSignalSpy started(&shell, &AppShell::started);

        // The panel is another program: its own thread here, since Qt calls the
        // watcher synchronously.
        QThread panelThread;
        panelThread.start();
        FakeWatcher watcher;
        watcher.moveToThread(&panelThread);
        QDBusConnection panel = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "panel");
        QVERIFY(panel.isConnected());
        QTimer::singleShot(700, &watcher, [&] { // runs in the panel's thread
            panel.registerObject("/StatusNotifierWatcher", &watcher,
                                 QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties |
                                     QDBusConnection::ExportAllSignals);
            panel.registerService("org.kde.StatusNotifierWatcher");
        });

        shell.start({});
        QVERIFY(!QCoro::waitFor(TrayHost::isAvailable())); // not yet: the panel is still coming up
        QVERIFY(started.wait(30000));
        QVERIFY(shell.trayIcon() && shell.trayIcon()->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(watcher.registrations.load(), 1, 20000);
        QVERIFY(!shell.windows().authWindow()); // signed in, and the item is there: no window

        panel.unregisterService("org.kde.StatusNotifierWatcher");
        QDBusConnection::disconnectFromBus("panel");
        panelThread.quit();
        panelThread.wait();
    }
};

QTEST_MAIN(StatusNotifierWatcherTest)
#include "StatusNotifierWatcherTest.moc"
