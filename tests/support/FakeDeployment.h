#pragma once

#include "LoopbackServer.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>
#include <utility>

class QTcpSocket;

// An in-process stand-in for the deployment, listening on 127.0.0.1 at a free
// port (the loopback server the local deployment runs on). It records every
// request and answers each server function path (the "path" member of the
// JSON body) as the test scripts it.
//
// GET requests that ask for a WebSocket upgrade are handed, untouched, to the
// upgrade handler, or to the WebSocket handler of their path (the sync
// endpoint plugs in there).
class FakeDeployment : public QObject {
    Q_OBJECT

public:
    using Header = std::pair<QByteArray, QByteArray>;

    struct Request : HttpRequest {
        int connection = 0; // which TCP connection carried it, counted from 1

        // The body as a JSON object ({} if it is not one).
        QJsonObject json() const;
        // The called server function ("module:function"), empty if the body has none.
        QString functionPath() const;
        QJsonObject args() const;
    };

    struct Answer {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        QList<Header> extraHeaders;
        std::optional<QByteArray> raw; // written verbatim instead of a formed response
        std::chrono::milliseconds delay{0};
        bool drop = false;       // close the connection without answering
        bool closeAfter = false; // answer, then close the connection
        bool held = false;       // wait for releaseHeld() before answering

        // {"status":"success","value":value}
        static Answer success(const QJsonValue &value);
        // {"status":"success"} with no "value" member
        static Answer successWithoutValue();
        // {"status":"error"} with "errorMessage" when given
        static Answer error(std::optional<QString> message = std::nullopt);
        static Answer envelope(const QJsonObject &envelope);
        static Answer json(int status, const QJsonObject &object);
        static Answer text(int status, QByteArray body, QByteArray contentType = "text/plain; charset=utf-8");
        static Answer rawBytes(QByteArray bytes);
        static Answer dropped();
        // What "auth:signIn" answers when it issues a pair, and when it issues none.
        static Answer issued(const QString &token, const QString &refreshToken);
        static Answer noTokens();

        Answer after(std::chrono::milliseconds wait) const;
        Answer closingConnection() const;
        // The answer waits until the test calls releaseHeld(): for "while the call
        // is still under way" without guessing a delay.
        Answer heldBack() const;
    };

    // Consulted before the scripted answers; return nothing to fall through.
    using Handler = std::function<std::optional<Answer>(const Request &)>;
    // Receives the socket with the upgrade request still unread in it (so that
    // QWebSocketServer::handleConnection can read the handshake itself) and a
    // copy of the request head. The handler owns the socket from then on.
    using UpgradeHandler = std::function<void(QTcpSocket *socket, const QByteArray &requestHead)>;

    explicit FakeDeployment(QObject *parent = nullptr);
    ~FakeDeployment() override;

    bool isListening() const;
    QUrl url() const; // http://127.0.0.1:<port>
    quint16 port() const;

    // The answer to every call of `functionPath` from now on.
    void answer(const QString &functionPath, Answer answer);
    // One-shot answers, used in order before the standing answer.
    void answerOnce(const QString &functionPath, Answer answer);
    void setHandler(Handler handler);
    void setUpgradeHandler(UpgradeHandler handler);
    // WebSockets opened at `path`; the handler owns them.
    void acceptWebSockets(const QByteArray &path, LoopbackServer::WebSocketHandler handler);

    QList<Request> requests() const { return m_requests; }
    QList<Request> requestsFor(const QString &functionPath) const;
    int count(const QString &functionPath) const;
    void clearRequests() { m_requests.clear(); }
    int connectionsAccepted() const;
    // Aborts every open connection (not the ones handed to the upgrade handler).
    void closeAllConnections();
    // Stops accepting connections; later requests fail to connect.
    void stopListening();
    // Accepts connections again on the same port (a restarted deployment);
    // false if the port has been taken meanwhile.
    bool resumeListening();
    // Sends every held answer now, in arrival order; returns how many there were.
    int releaseHeld();
    int heldCount() const;

    static constexpr qsizetype maxHeadBytes = 64 * 1024;
    static constexpr qsizetype maxBodyBytes = 16 * 1024 * 1024;

Q_SIGNALS:
    void requestReceived(const FakeDeployment::Request &request);
    // The answer to `request` has been handed to the socket (or the connection dropped).
    void answered(const FakeDeployment::Request &request);

private:
    void serve(LoopbackConnection &connection, const Request &request);
    Answer answerFor(const Request &request);
    void respondTo(LoopbackConnection &connection, const Request &request, const Answer &answer);

    struct HeldAnswer {
        QPointer<LoopbackConnection> connection;
        Request request;
        Answer answer;
    };

    LoopbackServer *m_server;
    QHash<QString, Answer> m_standing;
    QHash<QString, QQueue<Answer>> m_once;
    Handler m_handler;
    QList<Request> m_requests;
    QList<HeldAnswer> m_held;
    quint16 m_stoppedPort = 0;
};
