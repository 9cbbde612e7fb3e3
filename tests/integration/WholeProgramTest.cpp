#include "DevAuth.h"
#include "DevClock.h"
#include "DevServer.h"
#include "DevStore.h"

#include "TestSupport.h"

#include "MemorySecretStore.h"
#include "auth/AuthManager.h"
#include "backend/ConvexClient.h"
#include "backend/DeploymentUrl.h"
#include "overlay/AddCardOverlayContent.h"
#include "overlay/DismissSignal.h"
#include "platform/Browser.h"
#include "sync/Clock.h"
#include "sync/ConvexSubscriptionClient.h"
#include "sync/DeckStateManager.h"
#include "sync/TimerSleeper.h"
#include "tray/TrayMenu.h"

#include <QApplication>
#include <QCoroTask>
#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Reconnection waits of the sync client, twenty times shorter, so a restart of
// the deployment is survived in test time with the real back-off sequence.
class ShortSleeper : public Sleeper {
public:
    std::shared_ptr<PendingSleep> sleep(std::chrono::milliseconds duration) override
    {
        return m_timers.sleep(std::max(duration / 20, std::chrono::milliseconds(1)));
    }

private:
    TimerSleeper m_timers;
};

class NoBrowser : public Browser {
public:
    bool openUrl(const QUrl &) override { return false; }
};

template <class T> void runToEnd(QCoro::Task<T> task)
{
    bool done = false;
    auto wrapper = [&]() -> QCoro::Task<void> {
        co_await std::move(task);
        done = true;
    };
    auto running = wrapper();
    QTRY_VERIFY_WITH_TIMEOUT(done, 30000);
}

} // namespace

// One account's life against the local deployment: link code, decks over sync,
// a card from the overlay, a change made on the server, an access token that
// runs out, and the deployment going away and coming back on the same port.
// The objects are the program's own, connected as its start-up connects them.
class WholeProgramTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    DevClock m_clock;
    DevServerConfig m_config;
    std::unique_ptr<DevServer> m_server;

    void startServer()
    {
        m_server = std::make_unique<DevServer>(m_config, &m_clock);
        QString error;
        QVERIFY2(m_server->start(&error), qPrintable(error));
        m_config.port = m_server->port(); // a restart comes back on the same port
    }

    QString deckId(const QString &langTo)
    {
        const DevUser *user = m_server->store().state().userByEmail(QString::fromLatin1(DevStore::demoEmail));
        for (const DevDeck &deck : m_server->store().state().decksOf(user->id)) {
            if (deck.langTo == langTo)
                return deck.id;
        }
        return {};
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_clock.setManual(QDateTime::currentMSecsSinceEpoch());
        m_config.port = 0;
        m_config.dataPath = m_dir.filePath(QStringLiteral("state.json"));
        m_config.tokenTtl = std::chrono::minutes(5);
    }

    void mainJobAgainstLocalDeployment()
    {
        startServer();
        if (QTest::currentTestFailed())
            return;
        const QString email = QString::fromLatin1(DevStore::demoEmail);
        LogCapture log;
        QStringList tokensSeen;

        ConvexClient client(m_server->url());
        client.setRequestTimeout(std::chrono::seconds(20));
        MemorySecretStore secrets;
        NoBrowser browser;
        AuthManager auth(client, secrets, browser);
        ConvexSubscriptionClient sync(DeploymentUrl::syncUrl(m_server->url()), client,
                                      std::make_unique<ShortSleeper>());
        sync.setHandshakeTimeout(std::chrono::seconds(5));
        DeckStateManager deckState(sync, client);
        QObject::connect(&auth, &AuthManager::accountChanged, &sync,
                         &ConvexSubscriptionClient::reconnectForAccountChange);
        // The tray menu starts the deck subscriptions when the session signs in.
        TrayMenu menu(auth, deckState);

        runToEnd(auth.untilStartupFinished());
        QVERIFY(!auth.isAuthenticated());

        // Sign in with a link code the phone app would show.
        const QString code = m_server->auth().issueLinkCode(m_server->store().state().userByEmail(email)->id);
        runToEnd(auth.signInWithLinkCodeTask(code));
        QVERIFY2(auth.isAuthenticated(), qPrintable(auth.errorText()));
        QTRY_COMPARE_WITH_TIMEOUT(auth.userEmailText(), email, 20000);
        QCOMPARE(secrets.value(AuthManager::keychainService, AuthManager::refreshTokenKey),
                 client.refreshToken());
        tokensSeen << client.authToken().value_or(QString()) << client.refreshToken().value_or(QString());

        // The deck list arrives over the sync connection.
        QTRY_COMPARE_WITH_TIMEOUT(deckState.decks().size(), 3, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(deckState.activeDeck().has_value(), 20000);
        QCOMPARE(deckState.activeDeck()->langTo, QStringLiteral("fr"));

        // A card through the overlay's flow: prefilled word, Return, first candidate, ADD.
        {
            DismissSignal dismiss;
            bool dismissed = false;
            AddCardOverlayContent overlay(
                dismiss, QStringLiteral("friend"), [&] { dismissed = true; }, client);
            overlay.appear();
            QTRY_VERIFY_WITH_TIMEOUT(overlay.activeDeck().has_value(), 20000);
            overlay.translate();
            QTRY_COMPARE_WITH_TIMEOUT(overlay.phase(), AddCardOverlayContent::Phase::Results, 20000);
            QVERIFY(!overlay.results().isEmpty());
            overlay.choose(0);
            QCOMPARE(overlay.phase(), AddCardOverlayContent::Phase::Selected);
            overlay.save();
            QTRY_VERIFY_WITH_TIMEOUT(dismissed, 20000);
            QVERIFY2(!overlay.hasError(), qPrintable(overlay.errorText()));
        }
        const QList<DevCard> &cards = m_server->store().state().cards;
        QCOMPARE(cards.size(), 1);
        QCOMPARE(cards.first().word, QStringLiteral("ami"));
        QCOMPARE(cards.first().translation, QStringLiteral("friend"));
        QCOMPARE(cards.first().deckId, deckId(QStringLiteral("fr")));

        // The phone app changes the active deck: the program follows.
        QVERIFY(m_server->setActiveDeck(email, deckId(QStringLiteral("de"))));
        QTRY_COMPARE_WITH_TIMEOUT(deckState.activeDeck()->langTo, QStringLiteral("de"), 20000);

        // The access token runs out while the program is in use: the sync
        // connection is told so, the next call meets a 401, and both carry on
        // with a refreshed pair; the session stays signed in and keeps the pair.
        const std::optional<QString> expiredToken = client.authToken();
        m_clock.advance(std::chrono::milliseconds(m_config.tokenTtl).count() + 1000);
        {
            DismissSignal dismiss;
            AddCardOverlayContent overlay(
                dismiss, QStringLiteral("house"), [] {}, client);
            overlay.appear();
            QTRY_VERIFY_WITH_TIMEOUT(overlay.activeDeck().has_value(), 20000);
            QCOMPARE(overlay.activeDeck()->langTo, QStringLiteral("de"));
            overlay.translate();
            QTRY_COMPARE_WITH_TIMEOUT(overlay.phase(), AddCardOverlayContent::Phase::Results, 20000);
            QCOMPARE(overlay.results().first().word, QStringLiteral("Haus"));
        }
        QVERIFY(client.authToken() != expiredToken);
        tokensSeen << client.authToken().value_or(QString()) << client.refreshToken().value_or(QString());
        QVERIFY(auth.isAuthenticated());
        // The refresh token is written first, the access token last.
        QTRY_COMPARE_WITH_TIMEOUT(secrets.value(AuthManager::keychainService, AuthManager::tokenKey),
                                  client.authToken(), 20000);
        QCOMPARE(secrets.value(AuthManager::keychainService, AuthManager::refreshTokenKey),
                 client.refreshToken());
        QTRY_VERIFY_WITH_TIMEOUT(sync.isConnected(), 20000);
        QVERIFY(m_server->setActiveDeck(email, deckId(QStringLiteral("en"))));
        QTRY_COMPARE_WITH_TIMEOUT(deckState.activeDeck()->langFrom, QStringLiteral("hu"), 20000);
        QVERIFY(auth.isAuthenticated());

        // The deployment goes away and comes back on the same port with the same
        // data: the program reconnects and gets its decks again.
        const int attemptsBefore = sync.connectionCount();
        m_server.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!sync.isConnected(), 20000);
        // At least one attempt meets the closed port and waits again (the
        // waits are spread at random, so their lengths are not checked here).
        QTRY_VERIFY_WITH_TIMEOUT(
            sync.connectionCount() > attemptsBefore && !sync.isConnecting() && !sync.isConnected(), 20000);
        startServer();
        if (QTest::currentTestFailed())
            return;
        QTRY_VERIFY_WITH_TIMEOUT(sync.isConnected(), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->syncConnectionCount(), 1, 20000);
        QVERIFY(m_server->setActiveDeck(email, deckId(QStringLiteral("fr"))));
        QTRY_COMPARE_WITH_TIMEOUT(deckState.activeDeck()->langTo, QStringLiteral("fr"), 20000);
        QCOMPARE(deckState.decks().size(), 3);
        QVERIFY(auth.isAuthenticated());
        QCOMPARE(m_server->store().state().cards.size(), 1); // the card survived the restart

        for (const QString &line : log.allLines()) {
            for (const QString &token : std::as_const(tokensSeen))
                QVERIFY2(token.isEmpty() || !line.contains(token), qPrintable(line));
        }
    }
};

int main(int argc, char *argv[])
{
    // Nothing here is drawn; without a display the menu still needs a platform.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    WholeProgramTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "WholeProgramTest.moc"
