// The session and the live connection together, linked as the program links
// them: what a refused session, a first sign-in and a change of account do to
// the connection and to the decks on show.

#include "SessionRig.h"
#include "SyncTestRig.h"
#include "TaskOutcome.h"

#include "sync/DeckStateManager.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

using Answer = FakeDeployment::Answer;
using namespace std::chrono_literals;

namespace {

// A session and a sync connection on one fake deployment, on simulated time.
struct SessionWithSync {
    SessionRig session;
    FakeSyncEndpoint endpoint;
    LogCapture log;
    SimulatedTime *time = nullptr; // owned by the sync client
    std::unique_ptr<ConvexSubscriptionClient> sync;
    std::unique_ptr<DeckStateManager> decks;

    SessionWithSync()
    {
        endpoint.attachTo(session.server);
        auto simulated = std::make_unique<SimulatedTime>();
        time = simulated.get();
        sync = std::make_unique<ConvexSubscriptionClient>(DeploymentUrl::syncUrl(session.server.url()),
                                                          session.client, std::move(simulated),
                                                          std::make_unique<FixedClock>());
        sync->setJitter(SyncTestRig::noJitter);
        decks = std::make_unique<DeckStateManager>(*sync, session.client);
    }

    // Starts the session linked as in the program: an account change restarts
    // the connection; becoming signed in starts the deck subscriptions (the
    // menu does that).
    AuthManager &start()
    {
        AuthManager &auth = session.start();
        QObject::connect(&auth, &AuthManager::accountChanged, sync.get(),
                         &ConvexSubscriptionClient::reconnectForAccountChange);
        QObject::connect(&auth, &AuthManager::isAuthenticatedChanged, decks.get(), [this, &auth] {
            if (auth.isAuthenticated())
                decks->startSubscriptionsLater();
        });
        return auth;
    }

    // Nothing under way: the connection waits to be made again, or it is up
    // and the server has accepted it (a Transition since the last attempt began).
    bool settled() const
    {
        if (sync->isConnecting())
            return false;
        for (const auto &wait : time->running())
            if (wait->duration() < ConvexSubscriptionClient::defaultSilenceLimit)
                return true;
        if (!sync->isConnected())
            return false;
        const QStringList lines = log.lines(LogChannel::Sync);
        for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
            if (line->startsWith(QStringLiteral("[Convex WS] Transition for queryId=")))
                return true;
            if (line->startsWith(QStringLiteral("[Convex WS] Connecting...")))
                return false;
        }
        return false;
    }

    // Lets a minute of simulated time pass, one wait at a time.
    bool playOutAMinute()
    {
        for (;;) {
            if (!QTest::qWaitFor([this] { return settled(); }, timeout))
                return false;
            if (!time->advance(60s - 1ms))
                return true;
        }
    }
};

} // namespace

class SessionWithSyncTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void revokedSessionEndsOnceAndTheConnectionSettles();
    void firstSignInOpensOneSocketAndAnAccountChangeClearsTheDecks();
};

void SessionWithSyncTest::revokedSessionEndsOnceAndTheConnectionSettles()
{
    SessionWithSync rig;
    rig.session.storePair(QStringLiteral("t1"), QStringLiteral("r1"));
    rig.session.answerEmail(QStringLiteral("ana@example.com"));
    // The start-up refresh still works; then the deployment ends the session
    // (the refresh token was reused past its window): the connection's token
    // is refused and so is every refresh.
    rig.session.server.answerOnce(QStringLiteral("auth:signIn"),
                                  Answer::issued(QStringLiteral("t2"), QStringLiteral("r2")));
    rig.session.server.answer(QStringLiteral("auth:signIn"),
                              Answer::error(QStringLiteral("Invalid refresh token")));
    rig.endpoint.setAcceptedTokens({QStringLiteral("a token nobody has")});
    rig.endpoint.setQueryResult(QStringLiteral("decks:listDecks"), QJsonArray());
    AuthManager &auth = rig.session.start();
    QTRY_VERIFY_WITH_TIMEOUT(auth.isStartupFinished(), timeout);
    QCOMPARE(rig.session.storedRefreshToken(), std::optional<QString>(QStringLiteral("r2")));
    QObject::connect(&auth, &AuthManager::accountChanged, rig.sync.get(),
                     &ConvexSubscriptionClient::reconnectForAccountChange);
    QSignalSpy authChanges(&auth, &AuthManager::isAuthenticatedChanged);
    QSignalSpy accountChanges(&auth, &AuthManager::accountChanged);

    QVERIFY(awaitTask(rig.decks->startSubscriptions()).succeeded());
    QVERIFY(rig.playOutAMinute());

    // One refused refresh ended the session; the connection was made once
    // more, without a token, and then left alone.
    QCOMPARE(rig.session.server.count(QStringLiteral("auth:signIn")), 2);
    QCOMPARE(rig.endpoint.connectionsOpened(), 2);
    QCOMPARE(rig.sync->connectionCount(), 1);
    QVERIFY(!auth.isAuthenticated());
    QCOMPARE(authChanges.size(), 1);
    QCOMPARE(accountChanges.size(), 1);
    QCOMPARE(rig.endpoint.liveToken(), std::nullopt);
    QVERIFY(rig.sync->isConnected());
    QTRY_COMPARE_WITH_TIMEOUT(rig.session.store.itemCount(), 0, timeout);
    QTRY_COMPARE_WITH_TIMEOUT(rig.session.server.count(QStringLiteral("auth:signOut")), 1, timeout);
    // One token offered, so one AuthError; and said once each: why the
    // connection lost its token, and what the person must do.
    QCOMPARE(rig.endpoint.framesOfType(QStringLiteral("Authenticate")).size(), 1);
    QCOMPARE(
        rig.log.lines(LogChannel::Sync).filter(QStringLiteral("[Convex WS] Token refresh failed: ")).size(),
        1);
    QCOMPARE(rig.log.lines(LogChannel::Shell),
             QStringList{QStringLiteral("[Vocarta] The server ended the session; sign in again.")});
    QVERIFY(rig.endpoint.violations().isEmpty());
}

void SessionWithSyncTest::firstSignInOpensOneSocketAndAnAccountChangeClearsTheDecks()
{
    SessionWithSync rig;
    for (const QString &account : {QStringLiteral("A"), QStringLiteral("B")}) {
        const QString token = QStringLiteral("t") + account;
        rig.endpoint.setQueryResultForToken(
            token, QStringLiteral("decks:listDecks"),
            QJsonArray{deckJson(account, account + QStringLiteral("'s deck"))});
        rig.endpoint.setQueryResultForToken(token, QStringLiteral("decks:getActiveDeck"),
                                            deckJson(account, account + QStringLiteral("'s deck")));
        rig.session.server.answerOnce(
            QStringLiteral("users:redeemMacLinkCode"),
            Answer::success(SessionRig::tokens(token, QStringLiteral("r") + account)));
    }
    rig.session.answerEmail(QStringLiteral("ana@example.com"));
    AuthManager &auth = rig.start();
    QTRY_VERIFY_WITH_TIMEOUT(auth.isStartupFinished(), timeout);
    QStringList shown; // every deck list the state published
    QObject::connect(rig.decks.get(), &DeckStateManager::decksChanged, rig.decks.get(),
                     [&] { shown.append(names(rig.decks->decks()).join(QLatin1Char(','))); });

    // The first sign-in of the run: one socket, which authenticates with the new token.
    QVERIFY(awaitTask(auth.signInWithLinkCodeTask(QStringLiteral("AAAA2222"))).succeeded());
    QTRY_COMPARE_WITH_TIMEOUT(names(rig.decks->decks()), QStringList{QStringLiteral("A's deck")}, timeout);
    QCOMPARE(rig.sync->connectionCount(), 0);
    QCOMPARE(rig.endpoint.connectionsOpened(), 1);
    QCOMPARE(rig.endpoint.framesOfType(QStringLiteral("Authenticate")).size(), 1);
    QCOMPARE(rig.endpoint.liveToken(), std::optional<QString>(QStringLiteral("tA")));
    QVERIFY(rig.decks->activeDeck());

    // Relink: the previous account's decks go at once, before any new result.
    shown.clear();
    auth.signOut();
    QVERIFY(rig.decks->decks().isEmpty());
    QCOMPARE(rig.decks->activeDeck(), std::nullopt);
    QVERIFY(rig.decks->isLoading());
    QVERIFY(awaitTask(auth.signInWithLinkCodeTask(QStringLiteral("BBBB3333"))).succeeded());
    QTRY_COMPARE_WITH_TIMEOUT(names(rig.decks->decks()), QStringList{QStringLiteral("B's deck")}, timeout);
    QTRY_COMPARE_WITH_TIMEOUT(rig.decks->activeDeck().value_or(Deck()).name, QStringLiteral("B's deck"),
                              timeout);
    QVERIFY(!rig.decks->isLoading());
    QVERIFY2(!shown.join(QLatin1Char('|')).contains(QStringLiteral("A's")), qPrintable(shown.join('|')));
    QCOMPARE(rig.endpoint.liveToken(), std::optional<QString>(QStringLiteral("tB")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.liveConnectionCount(), 1, timeout);
    QVERIFY(rig.endpoint.violations().isEmpty());
}

QTEST_GUILESS_MAIN(SessionWithSyncTest)
#include "SessionWithSyncTest.moc"
