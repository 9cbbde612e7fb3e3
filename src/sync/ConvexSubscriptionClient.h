#pragma once

#include "backend/Records.h"
#include "sync/Backoff.h"
#include "sync/SyncFrames.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QString>
#include <QUrl>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class Clock;
class ConvexClient;
class PendingSleep;
class Sleeper;
class SyncSocket;

// The one live-sync connection to the deployment. Parts of the program
// register a server query once with subscribe() and get every new result,
// decoded, on the main thread. The client connects on demand, sends the whole
// query set as the first query-set message of every (re)connection,
// authenticates with the HTTP client's current access token, refreshes it when
// the server rejects it, and reconnects with exponential back-off after any
// failure. It only consumes results: it never removes a query and tracks no
// server versions.
//
// The back-off between attempts starts again only once the server has
// accepted a connection (its first Transition), so a server that refuses every
// connection is not asked again every second; and a connection on which the
// server has said nothing for a minute (it pings after 15 s of quiet) is taken
// for dead and made again.
//
// All state lives on the main thread. The socket's frames are read by one
// receive loop per connection; frames of a connection that has been replaced
// are ignored, so late events of an old socket never touch the new one.
class ConvexSubscriptionClient : public QObject {
    Q_OBJECT

public:
    // `sleeper` and `clock` default to real timers and the system clock.
    ConvexSubscriptionClient(QUrl wsURL, ConvexClient &http, std::unique_ptr<Sleeper> sleeper = {},
                             std::unique_ptr<Clock> clock = {}, QObject *parent = nullptr);
    ~ConvexSubscriptionClient() override;

    // Registers a query; `onUpdate` runs on the main thread with each new result,
    // or with nothing when the result is null, missing or does not decode as T.
    // Returns the query id.
    template <class T>
    QCoro::Task<int> subscribe(QString udfPath, QJsonObject args,
                               std::function<void(std::optional<T>)> onUpdate)
    {
        RawUpdate raw = [this, onUpdate = std::move(onUpdate)](const std::optional<QJsonValue> &value) {
            deliver([onUpdate, decoded = decode<T>(value)]() { onUpdate(decoded); });
        };
        return addSubscription(std::move(udfPath), std::move(args), std::move(raw));
    }

    // Connects unless connected or connecting; a pending reconnection happens now.
    QCoro::Task<void> startIfNeeded();

    bool isConnected() const { return m_isConnected; }
    bool isConnecting() const { return m_isConnecting; }

    // After a sign-in or sign-out: the previous account's results stop at once
    // (accountChanged() tells the subscribers), and the connection is made again
    // with the new identity (or none) unless the one under way has not told the
    // server who it is yet.
    void reconnectForAccountChange();

    // How long opening a connection may take before it counts as failed.
    void setHandshakeTimeout(std::chrono::milliseconds timeout) { m_handshakeTimeout = timeout; }
    // How long the server may stay silent before the connection is taken for dead.
    void setSilenceLimit(std::chrono::milliseconds limit) { m_silenceLimit = limit; }
    static constexpr std::chrono::seconds defaultSilenceLimit{60};
    // Pins the jitter of the reconnection waits (a number in [0, 1); 0.5 means none).
    void setJitter(Backoff::Random random) { m_backoff.setRandom(std::move(random)); }

    QUrl wsURL() const { return m_wsURL; }
    QString sessionId() const { return m_sessionId; }
    int connectionCount() const { return m_connectionCount; }
    int queryVersion() const { return m_queryVersion; }

Q_SIGNALS:
    void connectionStateChanged();
    // The account changed: results of the previous one will not be delivered any more.
    void accountChanged();

private:
    using RawUpdate = std::function<void(const std::optional<QJsonValue> &)>;

    struct Subscription {
        QString udfPath;
        QJsonObject args;
        RawUpdate onUpdate;
    };

    template <class T> static std::optional<T> decode(const std::optional<QJsonValue> &value)
    {
        if (!value || value->isNull() || value->isUndefined())
            return std::nullopt;
        try {
            return decodeRecord<T>(*value);
        } catch (...) {
            return std::nullopt;
        }
    }

    QCoro::Task<int> addSubscription(QString udfPath, QJsonObject args, RawUpdate onUpdate);
    void deliver(std::function<void()> call);

    QCoro::Task<void> connect();
    QCoro::Task<void> receiveLoop(std::shared_ptr<SyncSocket> socket, quint64 epoch);
    QCoro::Task<void> handleMessage(QString text, std::shared_ptr<SyncSocket> socket, quint64 epoch);
    void handleTransition(const SyncFrames::ServerMessage &message);
    QCoro::Task<void> handleAuthError(std::shared_ptr<SyncSocket> socket, quint64 epoch);
    void scheduleReconnect();
    QCoro::Task<void> reconnectAfter(std::shared_ptr<PendingSleep> sleep);
    QCoro::Task<void> reconnectNow();
    QCoro::Task<void> sendConnect();
    QCoro::Task<void> sendAuthenticate();
    QCoro::Task<void> sendModifyQuerySet(QList<SyncFrames::QueryAdd> adds);
    QCoro::Task<void> send(QJsonObject message);
    QList<SyncFrames::QueryAdd> everySubscription() const;
    void setConnected(bool connected);
    void setConnecting(bool connecting);
    void dropSocket();
    void armSilenceWatchdog();
    void restartSilenceWatchdog();
    void disarmSilenceWatchdog();
    QCoro::Task<void> watchSilence(std::shared_ptr<PendingSleep> sleep, std::shared_ptr<SyncSocket> socket);

    const QUrl m_wsURL;
    ConvexClient &m_http;
    const std::unique_ptr<Sleeper> m_sleeper;
    const std::unique_ptr<Clock> m_clock;

    std::chrono::milliseconds m_handshakeTimeout{std::chrono::seconds(60)};
    std::chrono::milliseconds m_silenceLimit{defaultSilenceLimit};
    std::shared_ptr<SyncSocket> m_socket;
    const QString m_sessionId;
    int m_connectionCount = 0;
    int m_queryVersion = 0;
    // Identity versions count per connection, apart from query-set versions.
    int m_identityVersion = 0;
    // Whether this connection has told the server who it is (Authenticate sent or skipped).
    bool m_identitySent = false;
    // Whether the server accepted this connection (it sent a Transition).
    bool m_accepted = false;
    bool m_isConnected = false;
    bool m_isConnecting = false;
    Backoff m_backoff{std::chrono::seconds(1), std::chrono::seconds(30)};
    std::shared_ptr<PendingSleep> m_reconnectSleep;
    std::shared_ptr<PendingSleep> m_silenceSleep;
    // Counts account changes; results queued for an earlier account are dropped.
    quint64 m_accountGeneration = 0;
    std::optional<QString> m_lastCloseReason = QStringLiteral("InitialConnect");
    std::map<int, Subscription> m_subscriptions;
    int m_nextQueryId = 0;
    // Increases with every connection attempt; work begun for an older attempt stops quietly.
    quint64 m_epoch = 0;
};
