#include "app/AppShell.h"
#include "FakeDeckState.h"
#include "FakeSession.h"
#include "FakeSubsystems.h"
#include "TestSupport.h"
#include "TrayerProcess.h"
#include "app/AppWindows.h"
#include "platform/TrayHost.h"
#include "qml/ViewEngine.h"
#include "tray/TrayMenu.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QScreen>
#include <QtTest>

class AppShellTest : public QObject {
    Q_OBJECT

    FakeSession *m_auth = nullptr;
    FakeDeckState *m_decks = nullptr;
    FakeSubsystems *m_subsystems = nullptr;

    // The session comes back from the keyring, signed in or not, a little
    // after the shell first asks for it; the calls list says when.
    void restoreWhenAsked(bool signedIn)
    {
        m_auth->setRestoreOnRequest(signedIn, std::chrono::milliseconds(50));
        connect(m_auth, &Session::restored, this, [this] { m_subsystems->calls << "restore"; });
    }

    std::unique_ptr<AppShell> makeShell(std::chrono::milliseconds trayWait)
    {
        return std::make_unique<AppShell>(*m_auth, *m_decks, *m_subsystems, AppShell::Options{trayWait});
    }

    std::unique_ptr<AppShell> startShell(std::chrono::milliseconds trayWait, CommandLine first = {})
    {
        auto shell = makeShell(trayWait);
        QSignalSpy started(shell.get(), &AppShell::started);
        shell->start(first);
        if (!started.wait(30000))
            return nullptr;
        return shell;
    }

private Q_SLOTS:
    void init()
    {
        m_auth = new FakeSession;
        m_decks = new FakeDeckState;
        m_subsystems = new FakeSubsystems;
    }
    void cleanup()
    {
        delete m_subsystems;
        delete m_auth;
        delete m_decks;
    }

    // Runs first: Qt decides once per process which kind of tray it talks to.
    void withoutATraySaysSoAndOpensTheWindow()
    {
        restoreWhenAsked(true);
        LogCapture log;
        auto shell = makeShell(std::chrono::milliseconds(300));
        QSignalSpy started(shell.get(), &AppShell::started);
        connect(shell.get(), &AppShell::started, this, [this] { m_subsystems->calls << "started"; });
        shell->start({});
        // A second start's request while this one is still under way runs at
        // once: the windows exist, the keyring has not answered yet.
        shell->handleArguments({"--capture"}, {});
        QVERIFY(started.wait(30000));
        // The launch steps and the request did not wait for a tray that never came.
        QCOMPARE(m_subsystems->calls, (QStringList{"accessibility", "shortcut", "updater", "overlay",
                                                   "capture", "restore", "started"}));
        QVERIFY(!shell->trayIcon());
        QCOMPARE(log.lines(LogChannel::Shell), QStringList{AppShell::noTrayMessage});
        QVERIFY(shell->windows().authWindow() && shell->windows().authWindow()->isVisible());
        // The windows share the program's one engine with the overlay.
        QCOMPARE(qmlEngine(shell->windows().authWindow()), &ViewEngine::shared());
        QCOMPARE(m_decks->startCalls >= 1, true); // signed in all the same
    }

    void firstStartWithoutSessionOpensTheWindowOnce()
    {
        TrayerProcess trayer;
        QVERIFY(trayer.started());
        QTRY_VERIFY_WITH_TIMEOUT(QCoro::waitFor(TrayHost::isAvailable()), 20000);

        restoreWhenAsked(false);
        auto shell = makeShell(std::chrono::seconds(20));
        QSignalSpy started(shell.get(), &AppShell::started);
        shell->start({});
        QVERIFY(started.wait(30000));
        QCOMPARE(m_subsystems->calls,
                 (QStringList{"accessibility", "shortcut", "updater", "overlay", "restore"}));
        QVERIFY(shell->trayIcon() && shell->trayIcon()->isVisible());
        QCOMPARE(shell->trayIcon()->toolTip(), QStringLiteral("Vocarta Menubar"));
        QCOMPARE(shell->trayIcon()->contextMenu(), shell->menu().menu());
        QCOMPARE(shell->menu().menu()->actions().first()->text(), QStringLiteral("Sign In..."));

        QQuickWindow *auth = shell->windows().authWindow();
        QVERIFY(auth);
        QVERIFY(QTest::qWaitForWindowExposed(auth, 20000));
        QCOMPARE(auth->title(), QStringLiteral("Vocarta Settings"));
        QCOMPARE(auth->size(), QSize(420, 525));
        QCOMPARE(auth->minimumSize(), auth->maximumSize());
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(qAbs(auth->geometry().center().x() - screen.center().x()) <= 1);
        QCOMPARE(m_decks->startCalls, 0);
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::focusWindow(), auth, 20000);

        // Closing (the title bar's close goes the same way) only hides, and the
        // pages know it: the moving background counts itself off screen.
        QPointer<QObject> words = auth->findChild<QObject *>(QStringLiteral("scrollingWords"));
        QVERIFY(words);
        QTRY_VERIFY(words->property("active").toBool());
        QVERIFY(!auth->close());
        QTRY_VERIFY(!auth->isVisible());
        QVERIFY(!words->property("active").toBool());
        // Showing the menu while signed out opens nothing: the window came once.
        Q_EMIT shell->menu().menu()->aboutToShow();
        QVERIFY(!auth->isVisible());
        shell->menu().menu()->actions().first()->trigger(); // "Sign In..."
        QCOMPARE(shell->windows().authWindow(), auth);
        QVERIFY(auth->isVisible());
        // Opened again, the pages start over with a fresh first page.
        QTRY_VERIFY(words.isNull());
        QPointer<QObject> freshWords = auth->findChild<QObject *>(QStringLiteral("scrollingWords"));
        QVERIFY(freshWords);
        QTRY_VERIFY(freshWords->property("active").toBool());
    }

    void startWithStoredSessionSubscribesAndOpensNothing()
    {
        TrayerProcess trayer;
        QVERIFY(trayer.started());
        restoreWhenAsked(true);
        auto shell = startShell(std::chrono::seconds(20));
        QVERIFY(shell);
        QVERIFY(shell->trayIcon());
        QTRY_VERIFY(m_decks->startCalls >= 1);
        QVERIFY(!shell->windows().authWindow());
        QCOMPARE(shell->menu().menu()->actions().first()->text(), TrayMenu::noActiveDeckText());

        // Losing the session later shows the sign-in window.
        m_auth->signOut();
        QVERIFY(shell->windows().authWindow() && shell->windows().authWindow()->isVisible());
    }

    void laterStartsAreHandled()
    {
        TrayerProcess trayer;
        QVERIFY(trayer.started());
        restoreWhenAsked(true);
        auto shell = startShell(std::chrono::seconds(20));
        QVERIFY(shell);

        shell->handleArguments({"--capture"}, QStringLiteral("token-of-the-second-start"));
        QCOMPARE(m_subsystems->calls.count("capture"), 1);
        QCOMPARE(m_subsystems->captureTokens, QStringList{"token-of-the-second-start"});
        shell->handleArguments({"vocarta://auth/google#code=abc"}, {});
        QCOMPARE(m_auth->callbackUrls, QList<QUrl>{QUrl("vocarta://auth/google#code=abc")});
        shell->handleArguments({"--bogus"}, {});
        shell->handleArguments({"--capture", "--capture"}, {});
        QCOMPARE(m_subsystems->calls.count("capture"), 1);
        QVERIFY(!shell->windows().settingsWindow());

        shell->handleArguments({"--preferences"}, {});
        QQuickWindow *settings = shell->windows().settingsWindow();
        QVERIFY(settings && settings->isVisible());
        QCOMPARE(settings->size(), QSize(420, 320));
        settings->close();

        shell->handleArguments({}, {});
        QQuickWindow *auth = shell->windows().authWindow();
        QVERIFY(auth && auth->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(auth, 20000));
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::focusWindow(), auth, 20000);

        // Ctrl+, in any of the program's windows opens the settings.
        QTest::keyClick(auth, Qt::Key_Comma, Qt::ControlModifier);
        QVERIFY(settings->isVisible());
        QCOMPARE(shell->windows().settingsWindow(), settings);
    }

    // A keyring that never answers (locked, its unlock prompt left open)
    // holds back no request: each runs, and the start goes on without the session.
    void requestsDoNotWaitForTheKeyring()
    {
        auto shell = makeShell(std::chrono::milliseconds(300));
        shell->start(CommandLine::parse({"--capture"}));
        shell->handleArguments({"--preferences"}, {});
        shell->handleArguments({"vocarta://auth/google#state=s"}, {});
        QCOMPARE(m_subsystems->calls.count("capture"), 1);
        QVERIFY(shell->windows().settingsWindow() && shell->windows().settingsWindow()->isVisible());
        QCOMPARE(m_auth->callbackUrls, QList<QUrl>{QUrl("vocarta://auth/google#state=s")});
        QVERIFY(!m_auth->isRestored());
    }

    void ownRequestRunsAfterStart()
    {
        TrayerProcess trayer;
        QVERIFY(trayer.started());
        restoreWhenAsked(true);
        auto shell = startShell(std::chrono::seconds(20), CommandLine::parse({"--preferences"}));
        QVERIFY(shell);
        QVERIFY(shell->windows().settingsWindow() && shell->windows().settingsWindow()->isVisible());
        QVERIFY(!shell->windows().authWindow());
    }
};

QTEST_MAIN(AppShellTest)
#include "AppShellTest.moc"
