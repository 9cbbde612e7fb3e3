#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <QWebSocketProtocol>

#include <optional>

class FakeDeployment;
class LoopbackServer;
class QWebSocket;

// The deployment's sync endpoint (/api/sync) for tests. It records every frame
// the client sends, lets a test push messages and close sockets, and keeps the
// real server's rules, closing the connection the way it does when a client
// breaks them:
// - a ModifyQuerySet must start from the connection's current query-set
//   version (else FatalError and a close); adding a query id twice closes with 1011;
// - an Authenticate must start from the connection's identity version (else
//   FatalError and a close); a token it does not accept gets an AuthError, then a close;
// - any other client message type (a "Pong" among them) gets a FatalError and a close.
// Queries that have a scripted result are answered with a Transition when they
// are added, when the identity changes and whenever the result changes.
class FakeSyncEndpoint : public QObject {
    Q_OBJECT

public:
    struct Frame {
        int connection = 0; // counted from 1 in opening order
        QString text;
        QJsonObject message;
        QString type() const { return message.value(QStringLiteral("type")).toString(); }
    };

    explicit FakeSyncEndpoint(QObject *parent = nullptr);
    ~FakeSyncEndpoint() override;

    // Serves the /api/sync upgrades of `deployment` (same port as its HTTP API).
    void attachTo(FakeDeployment &deployment);
    // Or listens on its own loopback port; url() then names it.
    bool listen();
    QUrl url() const;

    // Tokens the server accepts; with none set, every token is accepted.
    void setAcceptedTokens(const QStringList &tokens);
    // The real server closes the connection after an AuthError; an older one kept it.
    void setClosesAfterAuthError(bool closes) { m_closesAfterAuthError = closes; }
    // The result of `udfPath` for every identity, or (ForToken) only for `token`.
    void setQueryResult(const QString &udfPath, const QJsonValue &value);
    void setQueryResultForToken(const QString &token, const QString &udfPath, const QJsonValue &value);

    QList<Frame> frames() const { return m_frames; }
    QList<Frame> framesOfType(const QString &type) const;
    void clearFrames() { m_frames.clear(); }
    // Every rule a client broke, in order (each closed a connection).
    QStringList violations() const { return m_violations; }

    int connectionsOpened() const { return m_opened; }
    int liveConnectionCount() const;
    // Sockets the server still holds, closing ones included.
    int openSocketCount() const { return int(m_connections.size()); }
    // The queries registered on the newest live connection (id -> udfPath).
    QMap<int, QString> liveQueries() const;
    // The token the newest live connection authenticated with.
    std::optional<QString> liveToken() const;

    // Messages to every live connection.
    void sendText(const QString &text);
    void sendBinary(const QByteArray &bytes);
    void pushTransition(const QJsonArray &modifications);
    void pushPing();
    void pushAuthError(const std::optional<QString> &error);  // then closes, as the server does
    void pushFatalError(const std::optional<QString> &error); // then closes
    void closeConnections(QWebSocketProtocol::CloseCode code, const QString &reason = QString());
    // Drops every connection without a closing handshake (a lost network).
    void abortConnections();

Q_SIGNALS:
    void frameReceived(const FakeSyncEndpoint::Frame &frame);
    void connectionOpened();
    void connectionClosed();

private:
    struct Connection {
        int number = 0;
        int querySetVersion = 0;
        int identityVersion = 0;
        std::optional<QString> token;
        QMap<int, QString> queries;
        bool closing = false;
    };

    void accept(QWebSocket *socket);
    void receive(QWebSocket *socket, const QString &text);
    void handleAuthenticate(QWebSocket *socket, Connection &connection, const QJsonObject &message);
    void handleModifyQuerySet(QWebSocket *socket, Connection &connection, const QJsonObject &message);
    void violate(QWebSocket *socket, const QString &rule, QWebSocketProtocol::CloseCode code,
                 bool fatalError);
    void closeSocket(QWebSocket *socket, QWebSocketProtocol::CloseCode code, const QString &reason);
    std::optional<QJsonValue> resultFor(const Connection &connection, const QString &udfPath) const;
    void sendUpdates(QWebSocket *socket, const Connection &connection, const QList<int> &queryIds);
    QWebSocket *newestLive() const;

    LoopbackServer *m_server = nullptr; // when it listens on its own port
    QHash<QWebSocket *, Connection> m_connections;
    QList<Frame> m_frames;
    QStringList m_violations;
    QSet<QString> m_acceptedTokens;
    QHash<QString, QJsonValue> m_results;                      // udfPath -> value
    QHash<QString, QHash<QString, QJsonValue>> m_tokenResults; // token -> udfPath -> value
    int m_opened = 0;
    bool m_closesAfterAuthError = true;
};
