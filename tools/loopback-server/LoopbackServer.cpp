#include "LoopbackServer.h"

#include "LoopbackOrigin.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>
#include <QWebSocketServer>

LoopbackServer::LoopbackServer(HttpLimits limits, QObject *parent)
    : QObject(parent)
    , m_limits(limits)
    , m_tcp(new QTcpServer(this))
{
    connect(m_tcp, &QTcpServer::newConnection, this, &LoopbackServer::accept);
}

LoopbackServer::~LoopbackServer()
{
    // The sockets go before the connections (both are children); a socket's
    // last signals must not reach a connection of a half-destroyed server.
    for (LoopbackConnection *connection : std::as_const(m_connections))
        if (connection->m_socket)
            connection->m_socket->disconnect(connection);
    m_tcp->close();
}

bool LoopbackServer::listen(const QHostAddress &address, quint16 port)
{
    if (!address.isLoopback()) {
        m_error = QStringLiteral("%1 is not a loopback address").arg(address.toString());
        return false;
    }
    if (!m_tcp->listen(address, port)) {
        m_error = m_tcp->errorString();
        return false;
    }
    m_address = address;
    return true;
}

void LoopbackServer::close()
{
    m_tcp->close();
}

bool LoopbackServer::isListening() const
{
    return m_tcp->isListening();
}

quint16 LoopbackServer::port() const
{
    return m_tcp->serverPort();
}

QUrl LoopbackServer::url() const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(m_address.toString());
    url.setPort(port());
    return url;
}

void LoopbackServer::setRequestHandler(RequestHandler handler)
{
    m_requestHandler = std::move(handler);
}

void LoopbackServer::setUpgradeHandler(UpgradeHandler handler)
{
    m_upgradeHandler = std::move(handler);
}

void LoopbackServer::acceptWebSockets(const QByteArray &path, WebSocketHandler handler)
{
    if (!m_webSockets) {
        m_webSockets =
            new QWebSocketServer(QStringLiteral("loopback"), QWebSocketServer::NonSecureMode, this);
        connect(m_webSockets, &QWebSocketServer::newConnection, this,
                &LoopbackServer::acceptPendingWebSockets);
    }
    m_webSocketHandlers.insert(path, std::move(handler));
}

void LoopbackServer::abortConnections()
{
    const QList<LoopbackConnection *> connections = m_connections;
    for (LoopbackConnection *connection : connections)
        if (connection->isOpen())
            connection->abort();
}

void LoopbackServer::accept()
{
    while (QTcpSocket *socket = m_tcp->nextPendingConnection()) {
        auto *connection = new LoopbackConnection(socket, ++m_accepted, this);
        m_connections.append(connection);
        connection->readRequests();
    }
}

bool LoopbackServer::admits(LoopbackConnection &connection, const HttpRequest &request)
{
    if (!m_loopbackOriginsOnly)
        return true;
    const std::optional<HttpRefusal> refusal = foreignOriginRefusal(request);
    if (refusal)
        connection.refuse(refusal->status, refusal->reason);
    return !refusal;
}

void LoopbackServer::serve(LoopbackConnection &connection, const HttpRequest &request)
{
    if (m_requestHandler)
        m_requestHandler(connection, request);
    else
        connection.respond(
            HttpResponse::problem(404, QStringLiteral("NotFound"), QStringLiteral("No such route")));
}

bool LoopbackServer::takesUpgrade(const HttpRequest &request) const
{
    return m_upgradeHandler || m_webSocketHandlers.contains(request.path);
}

void LoopbackServer::upgrade(QTcpSocket *socket, const HttpRequest &request)
{
    if (m_webSocketHandlers.contains(request.path))
        m_webSockets->handleConnection(socket);
    else
        m_upgradeHandler(socket, request);
}

void LoopbackServer::acceptPendingWebSockets()
{
    while (QWebSocket *socket = m_webSockets->nextPendingConnection()) {
        const auto handler = m_webSocketHandlers.constFind(socket->requestUrl().path().toUtf8());
        if (handler == m_webSocketHandlers.constEnd()) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setParent(nullptr); // the handler's from now on
        (*handler)(socket);
    }
}
