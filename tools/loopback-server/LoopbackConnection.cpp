#include "LoopbackConnection.h"

#include "LoopbackServer.h"

#include <QTcpSocket>

LoopbackConnection::LoopbackConnection(QTcpSocket *socket, int number, LoopbackServer *server)
    : QObject(server)
    , m_socket(socket)
    , m_server(server)
    , m_number(number)
{
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::readyRead, this, &LoopbackConnection::readRequests);
    connect(socket, &QTcpSocket::disconnected, this, &LoopbackConnection::finish);
}

void LoopbackConnection::respond(const HttpResponse &response)
{
    if (!isOpen() || !m_busy)
        return;
    m_busy = false;
    m_socket->write(response.serialized(m_keepAlive));
    if (!m_keepAlive || response.close)
        close();
    else if (!m_reading)
        readRequests(); // a request that arrived while this one waited
}

void LoopbackConnection::write(const QByteArray &bytes)
{
    if (isOpen())
        m_socket->write(bytes);
}

void LoopbackConnection::close()
{
    if (!isOpen())
        return;
    m_closing = true;
    // Once the peer has everything written, the socket reports its disconnection.
    m_socket->disconnectFromHost();
}

void LoopbackConnection::abort()
{
    if (!m_socket)
        return;
    m_closing = true;
    m_socket->abort();
    finish();
}

void LoopbackConnection::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_closing = true;
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    m_server->forget(this);
    Q_EMIT closed();
    deleteLater();
}

void LoopbackConnection::refuse(int status, const QByteArray &reason)
{
    Q_EMIT m_server->refused(status, reason);
    m_busy = true;
    m_keepAlive = false;
    m_socket->readAll();
    respond(HttpResponse::problem(status, QString::fromLatin1(httpReasonPhrase(status)).remove(u' '),
                                  QString::fromLatin1(reason)));
}

void LoopbackConnection::readRequests()
{
    // Requests stay in the socket's buffer until they are whole: an upgrade
    // request must reach the WebSocket server unread.
    m_reading = true;
    while (isOpen() && !m_busy && m_socket->bytesAvailable() >= std::max<qsizetype>(m_needed, 1)) {
        const QByteArray pending = m_socket->peek(m_socket->bytesAvailable());
        HttpParseResult parsed = parseHttpRequest(pending, m_server->limits());
        switch (parsed.kind) {
        case HttpParseResult::Kind::Incomplete:
            m_needed = parsed.size;
            m_reading = false;
            return;
        case HttpParseResult::Kind::Refused:
            refuse(parsed.status, parsed.reason);
            break;
        case HttpParseResult::Kind::Upgrade:
            if (!m_server->admits(*this, parsed.request))
                break;
            Q_EMIT m_server->upgradeRequested(m_number, parsed.request);
            if (!m_server->takesUpgrade(parsed.request)) {
                refuse(404, "no WebSocket endpoint at " + parsed.request.path.left(80));
                break;
            }
            m_socket->disconnect(this);
            m_server->upgrade(std::exchange(m_socket, nullptr), parsed.request);
            finish();
            return; // `this` goes with the next event loop pass
        case HttpParseResult::Kind::Request:
            m_needed = 0;
            m_socket->skip(parsed.size);
            if (m_server->admits(*this, parsed.request)) {
                m_busy = true;
                m_keepAlive = parsed.request.keepAlive();
                m_server->serve(*this, parsed.request);
            }
            break;
        }
    }
    m_reading = false;
}
