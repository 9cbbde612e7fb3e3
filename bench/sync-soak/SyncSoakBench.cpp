// One run through what a bad network does to a session: 200 forced disconnects
// (every 25th an expired access token, so the pair rotates), a deployment
// restart, a connection that goes silent, and finally a session the server
// revokes. Prints the connections and refreshes made, the peak resident memory
// and whether the keyring holds the server's current pair.
//
// Time runs faster here: every wait of the program (back-off, the silence
// watchdog) is scaled by `timeScale`, and the fake server pings at the same
// scale, so a run takes about a minute.

#include "FakeDeployment.h"
#include "FakeSyncEndpoint.h"

#include "auth/AuthManager.h"
#include "backend/ConvexClient.h"
#include "backend/DeploymentUrl.h"
#include "platform/Browser.h"
#include "platform/Log.h"
#include "platform/secret/LibsecretStore.h"
#include "sync/Clock.h"
#include "sync/ConvexSubscriptionClient.h"
#include "sync/DeckStateManager.h"
#include "sync/TimerSleeper.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QTimer>

#include <QCoroTimer>

#include <cstdio>
#include <functional>

using Answer = FakeDeployment::Answer;
using namespace std::chrono_literals;

namespace {

constexpr double timeScale = 0.05;
constexpr int disconnects = 200;

// The program's waits, run faster.
class ScaledSleeper : public Sleeper {
public:
    std::shared_ptr<PendingSleep> sleep(std::chrono::milliseconds duration) override
    {
        return m_timers.sleep(std::chrono::milliseconds(qint64(double(duration.count()) * timeScale)));
    }

private:
    TimerSleeper m_timers;
};

class NoBrowser : public Browser {
public:
    bool openUrl(const QUrl &) override { return false; }
};

qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    return -1;
}

// The deployment's side of the session: every refresh retires the refresh
// token it was given and issues a new pair; the sync endpoint takes only the
// newest access token.
struct Server {
    FakeDeployment deployment;
    FakeSyncEndpoint endpoint;
    QString accessToken;
    QString refreshToken;
    int pairsIssued = 0;
    int refreshes = 0;
    bool revoked = false;

    Server()
    {
        endpoint.attachTo(deployment);
        const QJsonObject deck{{QStringLiteral("_id"), QStringLiteral("d1")},
                               {QStringLiteral("name"), QStringLiteral("Swedish")},
                               {QStringLiteral("langFrom"), QStringLiteral("en")},
                               {QStringLiteral("langTo"), QStringLiteral("sv")}};
        endpoint.setQueryResult(QStringLiteral("decks:listDecks"), QJsonArray{deck});
        endpoint.setQueryResult(QStringLiteral("decks:getActiveDeck"), deck);
        deployment.setHandler([this](const FakeDeployment::Request &request) -> std::optional<Answer> {
            const QString path = request.functionPath();
            if (path == QLatin1String("users:redeemMacLinkCode"))
                return Answer::success(issue());
            if (path == QLatin1String("auth:signIn")) {
                ++refreshes;
                if (revoked ||
                    request.args().value(QStringLiteral("refreshToken")).toString() != refreshToken)
                    return Answer::error(QStringLiteral("Invalid refresh token"));
                return Answer::success(QJsonObject{{QStringLiteral("tokens"), issue()}});
            }
            if (path == QLatin1String("users:getCurrentUser"))
                return Answer::success(
                    QJsonObject{{QStringLiteral("_id"), QStringLiteral("u1")},
                                {QStringLiteral("email"), QStringLiteral("soak@example.com")}});
            if (path == QLatin1String("auth:signOut"))
                return Answer::success(QJsonValue());
            return std::nullopt;
        });
    }

    QJsonObject issue()
    {
        ++pairsIssued;
        accessToken = QStringLiteral("access-%1").arg(pairsIssued);
        refreshToken = QStringLiteral("refresh-%1").arg(pairsIssued);
        endpoint.setAcceptedTokens({accessToken});
        return QJsonObject{{QStringLiteral("token"), accessToken},
                           {QStringLiteral("refreshToken"), refreshToken}};
    }
};

QCoro::Task<bool> until(std::function<bool()> condition, std::chrono::milliseconds limit = 20s)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition()) {
        if (elapsed.elapsed() > limit.count())
            co_return false;
        co_await QCoro::sleepFor(5ms);
    }
    co_return true;
}

QCoro::Task<int> run()
{
    QElapsedTimer elapsed;
    elapsed.start();
    int silenceCloses = 0;
    setLogSink([&silenceCloses](LogChannel, const QString &line) {
        if (line.contains(QLatin1String("No message from the server")))
            ++silenceCloses;
    });

    Server server;
    LibsecretStore store;
    co_await store.remove(AuthManager::keychainService, AuthManager::tokenKey);
    co_await store.remove(AuthManager::keychainService, AuthManager::refreshTokenKey);
    NoBrowser browser;
    ConvexClient http(server.deployment.url());
    ConvexSubscriptionClient sync(DeploymentUrl::syncUrl(server.deployment.url()), http,
                                  std::make_unique<ScaledSleeper>());
    DeckStateManager decks(sync, http);
    AuthManager auth(http, store, browser, std::make_unique<ScaledSleeper>());
    // Linked as in the program.
    QObject::connect(&auth, &AuthManager::accountChanged, &sync,
                     &ConvexSubscriptionClient::reconnectForAccountChange);
    QObject::connect(&auth, &AuthManager::isAuthenticatedChanged, &decks, [&] {
        if (auth.isAuthenticated())
            decks.startSubscriptionsLater();
    });
    // The real server pings after 15 s of quiet.
    QTimer pings;
    QObject::connect(&pings, &QTimer::timeout, &server.endpoint, [&] { server.endpoint.pushPing(); });
    pings.start(std::chrono::milliseconds(qint64(15000 * timeScale)));
    co_await auth.untilStartupFinished();
    const qint64 startKiB = statusKiB("VmRSS:");

    const auto connectedWithCurrentToken = [&] {
        return sync.isConnected() && server.endpoint.liveConnectionCount() == 1 &&
               server.endpoint.liveToken() == std::optional<QString>(server.accessToken);
    };
    const auto fail = [](const char *what) {
        std::printf("FAILED: %s\n", what);
        return 1;
    };

    co_await auth.signInWithLinkCodeTask(QStringLiteral("SOAK2345"));
    if (!co_await until([&] { return connectedWithCurrentToken() && !decks.decks().isEmpty(); }))
        co_return fail("first connection");

    for (int round = 0; round < disconnects; ++round) {
        const int opened = server.endpoint.connectionsOpened();
        if (round % 25 == 24) {
            server.endpoint.pushAuthError(QStringLiteral("Token expired")); // rotates the pair
        } else {
            switch (round % 3) {
            case 0:
                server.endpoint.closeConnections(QWebSocketProtocol::CloseCodeGoingAway);
                break;
            case 1:
                server.endpoint.abortConnections();
                break;
            case 2:
                server.endpoint.pushFatalError(QStringLiteral("overloaded"));
                break;
            }
        }
        if (!co_await until(
                [&] { return server.endpoint.connectionsOpened() > opened && connectedWithCurrentToken(); }))
            co_return fail("reconnection after a forced disconnect");
    }
    const int afterDisconnects = server.endpoint.connectionsOpened();

    // The deployment restarts: gone for a second, then back on its port.
    server.deployment.stopListening();
    server.deployment.closeAllConnections();
    server.endpoint.abortConnections();
    co_await QCoro::sleepFor(1s);
    if (!server.deployment.resumeListening())
        co_return fail("listening again after the restart");
    if (!co_await until(connectedWithCurrentToken))
        co_return fail("reconnection after the restart");
    const int afterRestart = server.endpoint.connectionsOpened();

    // The server goes quiet on a connection that stays open.
    pings.stop();
    const int silentBefore = silenceCloses;
    const auto silenceLimit = std::chrono::milliseconds(
        qint64(double(std::chrono::milliseconds(ConvexSubscriptionClient::defaultSilenceLimit).count()) *
               timeScale));
    co_await QCoro::sleepFor(silenceLimit * 5 / 2);
    pings.start();
    if (!co_await until(connectedWithCurrentToken))
        co_return fail("reconnection after the silence");
    const int stallCloses = silenceCloses - silentBefore;

    co_await auth.finishPendingWrites();
    const std::optional<QString> storedAccess =
        co_await store.load(AuthManager::keychainService, AuthManager::tokenKey);
    const std::optional<QString> storedRefresh =
        co_await store.load(AuthManager::keychainService, AuthManager::refreshTokenKey);
    const bool keyringCurrent = storedAccess == server.accessToken && storedRefresh == server.refreshToken;

    // The server revokes the session.
    const int refreshesBeforeRevocation = server.refreshes;
    const int openedBeforeRevocation = server.endpoint.connectionsOpened();
    server.revoked = true;
    server.endpoint.setAcceptedTokens({QStringLiteral("nobody's")});
    server.endpoint.pushAuthError(QStringLiteral("Session revoked"));
    if (!co_await until([&] {
            return !auth.isAuthenticated() && sync.isConnected() &&
                   server.endpoint.liveConnectionCount() == 1 && !server.endpoint.liveToken();
        }))
        co_return fail("a settled connection after the revocation");
    // What the next (simulated) five minutes bring.
    co_await QCoro::sleepFor(std::chrono::milliseconds(qint64(300000 * timeScale)));
    co_await auth.finishPendingWrites();
    const bool keyringEmpty =
        !co_await store.load(AuthManager::keychainService, AuthManager::tokenKey) &&
        !co_await store.load(AuthManager::keychainService, AuthManager::refreshTokenKey);

    std::printf("time scale %.2f, %.1f s\n", timeScale, double(elapsed.elapsed()) / 1000.0);
    std::printf("connections made: %d (after %d forced disconnects: %d; after the restart: %d; "
                "closed for silence: %d; after the revocation: %d)\n",
                server.endpoint.connectionsOpened(), disconnects, afterDisconnects, afterRestart, stallCloses,
                server.endpoint.connectionsOpened() - openedBeforeRevocation);
    std::printf("connection attempts by the client: %d\n", sync.connectionCount() + 1);
    std::printf("refreshes made: %d (pairs issued: %d; after the revocation: %d)\n", server.refreshes,
                server.pairsIssued, server.refreshes - refreshesBeforeRevocation);
    std::printf("peak RSS: %lld KiB (%lld KiB once started; the fake deployment runs in this process)\n",
                statusKiB("VmHWM:"), startKiB);
    std::printf("keyring holds the server's current pair before the revocation: %s\n",
                keyringCurrent ? "yes" : "no");
    std::printf("keyring empty after the revocation: %s; signed in: %s\n", keyringEmpty ? "yes" : "no",
                auth.isAuthenticated() ? "yes" : "no");
    setLogSink({});
    co_return keyringCurrent &&keyringEmpty ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("VOCARTA_SESSION_ROOT")) {
        std::fprintf(stderr, "bench_sync_soak writes to the keyring: run it inside scripts/with-session\n");
        return 2;
    }
    int status = 1;
    QTimer::singleShot(0, [&status] {
        [](int &status) -> QCoro::Task<void> {
            status = co_await run();
            QCoreApplication::quit();
        }(status);
    });
    app.exec();
    return status;
}
