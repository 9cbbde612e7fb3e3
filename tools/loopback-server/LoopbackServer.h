#pragma once

#include "HttpRequest.h"
#include "HttpRequestParser.h"
#include "LoopbackConnection.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>

class QTcpServer;
class QTcpSocket;
class QWebSocket;
class QWebSocketServer;

// The HTTP/1.1 and WebSocket server the local deployment and the tests' fakes
// are built on: one loopback port, requests read by the strict parser within
// the limits, answered by the request handler; WebSocket upgrades go, on the
// same port, to a QWebSocketServer (or, untouched, to an upgrade handler).
class LoopbackServer : public QObject {
    Q_OBJECT

public:
    using RequestHandler = std::function<void(LoopbackConnection &connection, const HttpRequest &request)>;
    // Receives the socket with the upgrade request still unread in it (so that
    // QWebSocketServer::handleConnection can read the handshake itself); the
    // handler owns the socket from then on.
    using UpgradeHandler = std::function<void(QTcpSocket *socket, const HttpRequest &request)>;
    // Receives each WebSocket opened at the path; the handler owns it.
    using WebSocketHandler = std::function<void(QWebSocket *socket)>;

    explicit LoopbackServer(HttpLimits limits = {}, QObject *parent = nullptr);
    ~LoopbackServer() override;

    // Loopback addresses only; port 0 takes any free port.
    bool listen(const QHostAddress &address = QHostAddress(QHostAddress::LocalHost), quint16 port = 0);
    // Stops accepting connections; open ones stay.
    void close();
    bool isListening() const;
    quint16 port() const; // 0 when not listening
    QUrl url() const;     // http://<address>:<port>
    QString errorString() const { return m_error; }
    const HttpLimits &limits() const { return m_limits; }

    void setRequestHandler(RequestHandler handler);
    void setUpgradeHandler(UpgradeHandler handler);
    void acceptWebSockets(const QByteArray &path, WebSocketHandler handler);
    // Refuses requests and upgrades that a web page elsewhere could have sent:
    // a Host that is not this machine, or an Origin that is not one of its pages.
    void setLoopbackOriginsOnly(bool only) { m_loopbackOriginsOnly = only; }

    int connectionsAccepted() const { return m_accepted; }
    // Aborts every open connection (not those handed over for an upgrade).
    void abortConnections();

Q_SIGNALS:
    // Every upgrade request that passed the checks, before it is handed over.
    void upgradeRequested(int connection, const HttpRequest &request);
    // A request refused before any handler saw it.
    void refused(int status, const QByteArray &reason);

private:
    friend class LoopbackConnection;
    void accept();
    bool admits(LoopbackConnection &connection, const HttpRequest &request);
    void serve(LoopbackConnection &connection, const HttpRequest &request);
    bool takesUpgrade(const HttpRequest &request) const;
    void upgrade(QTcpSocket *socket, const HttpRequest &request);
    void acceptPendingWebSockets();
    void forget(LoopbackConnection *connection) { m_connections.removeOne(connection); }

    HttpLimits m_limits;
    QTcpServer *m_tcp;
    QWebSocketServer *m_webSockets = nullptr;
    QHash<QByteArray, WebSocketHandler> m_webSocketHandlers;
    RequestHandler m_requestHandler;
    UpgradeHandler m_upgradeHandler;
    QList<LoopbackConnection *> m_connections;
    QHostAddress m_address = QHostAddress(QHostAddress::LocalHost);
    QString m_error;
    int m_accepted = 0;
    bool m_loopbackOriginsOnly = false;
};
