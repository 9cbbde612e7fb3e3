#include "sync/ConvexSubscriptionClient.h"

#include "backend/ConvexClient.h"
#include "backend/DeploymentUrl.h"
#include "backend/Failure.h"
#include "platform/Log.h"
#include "platform/WhileAlive.h"
#include "sync/ConvexWSError.h"
#include "sync/PendingSleep.h"
#include "sync/Sleeper.h"
#include "sync/SyncSocket.h"
#include "sync/SystemClock.h"
#include "sync/TimerSleeper.h"

#include <QMetaObject>
#include <QUuid>

namespace {

void syncLog(const QString &text)
{
    logLine(LogChannel::Sync, QStringLiteral("[Convex WS] ") + text);
}

} // namespace

ConvexSubscriptionClient::ConvexSubscriptionClient(QUrl wsURL, ConvexClient &http,
                                                   std::unique_ptr<Sleeper> sleeper,
                                                   std::unique_ptr<Clock> clock, QObject *parent)
    : QObject(parent)
    , m_wsURL(std::move(wsURL))
    , m_http(http)
    , m_sleeper(sleeper ? std::move(sleeper) : std::make_unique<TimerSleeper>())
    , m_clock(clock ? std::move(clock) : std::make_unique<SystemClock>())
    , m_sessionId(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper())
{
}

ConvexSubscriptionClient::~ConvexSubscriptionClient()
{
    if (m_reconnectSleep)
        m_reconnectSleep->cancel();
    disarmSilenceWatchdog();
    if (m_socket)
        m_socket->discard();
}

QCoro::Task<int> ConvexSubscriptionClient::addSubscription(QString udfPath, QJsonObject args,
                                                           RawUpdate onUpdate)
{
    const int queryId = m_nextQueryId++;
    m_subscriptions.emplace(queryId, Subscription{udfPath, args, std::move(onUpdate)});
    if (m_isConnected) {
        // The server already holds every earlier query of this connection and
        // closes it when one is added twice, so only the new one goes out.
        QList<SyncFrames::QueryAdd> adds;
        adds.append(SyncFrames::QueryAdd{queryId, udfPath, args});
        try {
            co_await sendModifyQuerySet(std::move(adds));
        } catch (...) {
            // The query goes out with the next connection.
        }
    }
    co_return queryId;
}

void ConvexSubscriptionClient::deliver(std::function<void()> call)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation = m_accountGeneration, call = std::move(call)]() {
            if (generation != m_accountGeneration)
                return; // a result for the account that was replaced meanwhile
            try {
                call();
            } catch (...) {
                // A subscriber's failure must not reach the event loop.
            }
        },
        Qt::QueuedConnection);
}

QCoro::Task<void> ConvexSubscriptionClient::startIfNeeded()
{
    if (m_isConnected || m_isConnecting)
        co_return;
    if (m_reconnectSleep)
        co_await reconnectNow();
    else
        co_await connect();
}

void ConvexSubscriptionClient::reconnectForAccountChange()
{
    ++m_accountGeneration;
    Q_EMIT accountChanged();
    if (!m_socket && !m_isConnecting && !m_reconnectSleep)
        return; // never started: the first connection will use the new identity
    if (m_isConnecting && !m_identitySent)
        return; // the connection under way reads the token when it authenticates
    dropSocket();
    setConnected(false);
    setConnecting(false);
    m_backoff.reset();
    reconnectNow(); // runs on its own; every failure inside is handled there
}

QCoro::Task<void> ConvexSubscriptionClient::reconnectNow()
{
    if (m_reconnectSleep) {
        m_reconnectSleep->cancel();
        m_reconnectSleep.reset();
    }
    m_queryVersion = 0;
    ++m_connectionCount;
    co_await connect();
}

QCoro::Task<void> ConvexSubscriptionClient::connect()
{
    if (m_isConnecting)
        co_return;
    // The Authenticate frame carries the access token: an address the HTTP
    // client refuses is not contacted here either, and not retried.
    if (const auto problem = DeploymentUrl::problem(m_http.baseURL())) {
        syncLog(QStringLiteral("Connect failed: %1").arg(*problem));
        co_return;
    }
    setConnecting(true);
    syncLog(QStringLiteral("Connecting... (attempt %1)").arg(m_connectionCount + 1));

    dropSocket();
    const quint64 epoch = m_epoch;
    // A new connection starts with empty query and identity sets on the server.
    m_queryVersion = 0;
    m_identityVersion = 0;
    m_identitySent = false;
    m_accepted = false;
    m_socket = SyncSocket::open(m_wsURL, this, m_handshakeTimeout);
    receiveLoop(m_socket, epoch);

    std::optional<QString> failure;
    try {
        co_await sendConnect();
        if (epoch == m_epoch)
            co_await sendAuthenticate();
        if (epoch == m_epoch) {
            QList<SyncFrames::QueryAdd> adds = everySubscription();
            co_await sendModifyQuerySet(std::move(adds));
        }
    } catch (const std::exception &error) {
        failure = logText(error);
    }
    if (epoch != m_epoch)
        co_return; // replaced by a newer connection while sending

    if (failure) {
        syncLog(QStringLiteral("Connect failed: %1").arg(*failure));
        setConnected(false);
        setConnecting(false);
        if (m_socket) {
            m_socket->abort();
            m_socket.reset();
        }
        scheduleReconnect();
        co_return;
    }
    // The back-off is not reset here: frames handed to the socket say nothing
    // about whether the server will keep the connection (see handleTransition).
    m_lastCloseReason.reset();
    m_isConnecting = false;
    setConnected(true);
    syncLog(QStringLiteral("Connected and subscribed (queryVersion=%1)").arg(m_queryVersion));
    armSilenceWatchdog();
}

QCoro::Task<void> ConvexSubscriptionClient::receiveLoop(std::shared_ptr<SyncSocket> socket, quint64 epoch)
{
    try {
        for (;;) {
            const SyncSocket::Event event = co_await whileAlive<SyncSocket::Event>(this, socket->nextEvent());
            if (epoch != m_epoch)
                co_return;
            if (event.kind == SyncSocket::Event::Kind::Ended) {
                syncLog(QStringLiteral("Receive error: %1").arg(event.text));
                m_lastCloseReason = event.text;
                if (m_socket == socket) {
                    m_socket.reset();
                    disarmSilenceWatchdog();
                }
                setConnected(false);
                setConnecting(false);
                scheduleReconnect();
                co_return;
            }
            if (m_socket != socket)
                continue;             // a failed attempt's leftovers
            restartSilenceWatchdog(); // any message shows the server is still there
            QString text = event.text;
            if (event.kind == SyncSocket::Event::Kind::Binary) {
                const std::optional<QString> decoded = SyncFrames::decodeUtf8(event.data);
                if (!decoded)
                    continue;
                text = *decoded;
                syncLog(QStringLiteral("<< (data) %1").arg(text));
            }
            co_await handleMessage(text, socket, epoch);
        }
    } catch (...) {
        // Nothing may escape to the event loop; the socket's end still reconnects.
    }
}

QCoro::Task<void> ConvexSubscriptionClient::handleMessage(QString text, std::shared_ptr<SyncSocket> socket,
                                                          quint64 epoch)
{
    const std::optional<SyncFrames::ServerMessage> message = SyncFrames::parse(text);
    if (!message)
        co_return;
    switch (message->type) {
    case SyncFrames::ServerMessage::Type::Transition:
        handleTransition(*message);
        break;
    case SyncFrames::ServerMessage::Type::Ping:
        // The server has no "Pong" message and ends the session on unknown
        // ones; its Ping only keeps the line busy. Socket-level pings are
        // answered by the socket itself.
        break;
    case SyncFrames::ServerMessage::Type::AuthError:
        syncLog(QStringLiteral("AuthError: %1").arg(message->error));
        co_await handleAuthError(std::move(socket), epoch);
        break;
    case SyncFrames::ServerMessage::Type::FatalError:
        syncLog(QStringLiteral("FatalError: %1").arg(message->error));
        setConnected(false);
        scheduleReconnect();
        break;
    case SyncFrames::ServerMessage::Type::Other:
        break;
    }
}

void ConvexSubscriptionClient::handleTransition(const SyncFrames::ServerMessage &message)
{
    // The server has taken the connection and its identity: only now is the
    // reconnection back-off over.
    if (!m_accepted) {
        m_accepted = true;
        m_backoff.reset();
    }
    for (const SyncFrames::QueryUpdate &update : message.updates) {
        const auto subscription = m_subscriptions.find(update.queryId);
        if (subscription == m_subscriptions.end())
            continue;
        syncLog(QStringLiteral("Transition for queryId=%1").arg(update.queryId));
        subscription->second.onUpdate(update.value);
    }
}

QCoro::Task<void> ConvexSubscriptionClient::handleAuthError(std::shared_ptr<SyncSocket> socket, quint64 epoch)
{
    std::optional<QString> failure;
    try {
        co_await whileAlive(this, m_http.refreshSession());
    } catch (const std::exception &error) {
        failure = logText(error);
    }
    if (failure && epoch != m_epoch) {
        // A refusal ended the session meanwhile, and the connection was made
        // again without it; only the failure is left to report.
        syncLog(QStringLiteral("Token refresh failed: %1").arg(*failure));
        co_return;
    }
    if (epoch != m_epoch)
        co_return;
    // The server closes the connection after an AuthError; the new token then
    // goes out with the reconnection. Only a connection it kept is re-authenticated.
    if (!failure && m_socket == socket && socket->isOpen()) {
        try {
            co_await sendAuthenticate();
        } catch (const std::exception &error) {
            failure = logText(error);
        }
        if (epoch != m_epoch)
            co_return;
    }
    if (failure) {
        syncLog(QStringLiteral("Token refresh failed: %1").arg(*failure));
        setConnected(false);
        scheduleReconnect();
    }
}

void ConvexSubscriptionClient::scheduleReconnect()
{
    if (m_reconnectSleep) {
        m_reconnectSleep->cancel();
        m_reconnectSleep.reset();
    }
    const std::chrono::milliseconds delay = m_backoff.next();
    syncLog(QStringLiteral("Reconnecting in %1s...").arg(double(delay.count()) / 1000.0, 0, 'f', 0));
    m_reconnectSleep = m_sleeper->sleep(delay);
    reconnectAfter(m_reconnectSleep);
}

QCoro::Task<void> ConvexSubscriptionClient::reconnectAfter(std::shared_ptr<PendingSleep> sleep)
{
    const bool timeIsUp = co_await whileAlive<bool>(this, sleep->wait());
    if (!timeIsUp || m_reconnectSleep != sleep)
        co_return;
    m_reconnectSleep.reset();
    m_queryVersion = 0;
    ++m_connectionCount;
    co_await connect();
}

QCoro::Task<void> ConvexSubscriptionClient::sendConnect()
{
    const QJsonObject message = SyncFrames::connect(m_sessionId, m_connectionCount, m_lastCloseReason,
                                                    m_clock->millisecondsSinceEpoch());
    syncLog(QStringLiteral(">> Connect (sessionId=%1, connectionCount=%2)")
                .arg(m_sessionId)
                .arg(m_connectionCount));
    co_await send(message);
}

QCoro::Task<void> ConvexSubscriptionClient::sendAuthenticate()
{
    const std::optional<QString> token = m_http.authToken();
    m_identitySent = true;
    if (!token) {
        syncLog(QStringLiteral("sendAuthenticate skipped — no auth token"));
        co_return;
    }
    const int baseVersion = m_identityVersion;
    syncLog(QStringLiteral(">> Authenticate (baseVersion=%1)").arg(baseVersion));
    QJsonObject message = SyncFrames::authenticate(*token, baseVersion);
    co_await send(std::move(message));
    ++m_identityVersion;
}

QCoro::Task<void> ConvexSubscriptionClient::sendModifyQuerySet(QList<SyncFrames::QueryAdd> adds)
{
    const int baseVersion = m_queryVersion;
    const int newVersion = baseVersion + 1;
    syncLog(QStringLiteral(">> ModifyQuerySet v%1->v%2 (%3 queries)")
                .arg(baseVersion)
                .arg(newVersion)
                .arg(adds.size()));
    QJsonObject message = SyncFrames::modifyQuerySet(baseVersion, newVersion, adds);
    co_await send(std::move(message));
    m_queryVersion = newVersion;
}

QCoro::Task<void> ConvexSubscriptionClient::send(QJsonObject message)
{
    const std::shared_ptr<SyncSocket> socket = m_socket;
    if (!socket)
        throw ConvexWSError::notConnected();
    const bool open = co_await whileAlive<bool>(this, socket->untilOpen());
    if (!open)
        throw ConvexWSError::socketFailure(socket->endDescription());
    QString failure;
    if (!socket->sendText(SyncFrames::serialize(message), &failure))
        throw ConvexWSError::socketFailure(failure);
}

QList<SyncFrames::QueryAdd> ConvexSubscriptionClient::everySubscription() const
{
    QList<SyncFrames::QueryAdd> adds;
    for (const auto &[queryId, subscription] : m_subscriptions)
        adds.append({queryId, subscription.udfPath, subscription.args});
    return adds;
}

void ConvexSubscriptionClient::setConnected(bool connected)
{
    if (m_isConnected == connected)
        return;
    m_isConnected = connected;
    Q_EMIT connectionStateChanged();
}

void ConvexSubscriptionClient::setConnecting(bool connecting)
{
    if (m_isConnecting == connecting)
        return;
    m_isConnecting = connecting;
    Q_EMIT connectionStateChanged();
}

// Also retires whatever was begun for the previous connection.
void ConvexSubscriptionClient::dropSocket()
{
    ++m_epoch;
    disarmSilenceWatchdog();
    if (m_socket) {
        m_socket->discard();
        m_socket.reset();
    }
}

// Restarts the wait for the server's next message on the current socket.
void ConvexSubscriptionClient::armSilenceWatchdog()
{
    disarmSilenceWatchdog();
    if (!m_socket)
        return;
    m_silenceSleep = m_sleeper->sleep(m_silenceLimit);
    watchSilence(m_silenceSleep, m_socket);
}

// A message every few seconds while idle: the running wait starts over, which
// costs a timer's restart rather than a new wait and a new watcher of it.
void ConvexSubscriptionClient::restartSilenceWatchdog()
{
    if (m_silenceSleep && !m_silenceSleep->isOver())
        m_silenceSleep->restart();
    else
        armSilenceWatchdog();
}

void ConvexSubscriptionClient::disarmSilenceWatchdog()
{
    if (m_silenceSleep) {
        m_silenceSleep->cancel();
        m_silenceSleep.reset();
    }
}

QCoro::Task<void> ConvexSubscriptionClient::watchSilence(std::shared_ptr<PendingSleep> sleep,
                                                         std::shared_ptr<SyncSocket> socket)
{
    const bool timeIsUp = co_await whileAlive<bool>(this, sleep->wait());
    if (!timeIsUp || m_silenceSleep != sleep || m_socket != socket)
        co_return;
    m_silenceSleep.reset();
    // A suspended laptop, a changed network or a stalled proxy leaves a socket
    // that looks open and delivers nothing. Ending it goes the way of every
    // lost connection: the receive loop reports it and reconnects.
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(m_silenceLimit).count();
    socket->abortWith(QStringLiteral("No message from the server for %1 s").arg(seconds));
}
