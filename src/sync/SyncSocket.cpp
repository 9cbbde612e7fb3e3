#include "sync/SyncSocket.h"

#include "sync/Resume.h"

#include <QTimer>
#include <QWebSocket>

namespace {

// Far above any query result this program receives. Both limits are needed:
// the socket checks a message's size only once its frames have been read, so
// without a frame limit one huge frame is buffered whole before it is refused.
constexpr quint64 maximumIncomingMessageSize = 16 * 1024 * 1024;
constexpr quint64 maximumIncomingFrameSize = maximumIncomingMessageSize;

} // namespace

std::shared_ptr<SyncSocket> SyncSocket::open(const QUrl &url, QObject *owner,
                                             std::chrono::milliseconds handshakeTimeout)
{
    std::shared_ptr<SyncSocket> socket(new SyncSocket);
    auto *webSocket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, owner);
    webSocket->setMaxAllowedIncomingMessageSize(maximumIncomingMessageSize);
    webSocket->setMaxAllowedIncomingFrameSize(maximumIncomingFrameSize);
    socket->attach(webSocket);
    std::weak_ptr<SyncSocket> weak = socket;
    QTimer::singleShot(handshakeTimeout, webSocket, [weak]() {
        if (auto self = weak.lock())
            self->onHandshakeTimeout();
    });
    webSocket->open(url);
    return socket;
}

SyncSocket::~SyncSocket()
{
    if (m_socket) {
        m_socket->disconnect();
        m_socket->abort();
        m_socket->deleteLater();
    }
}

void SyncSocket::attach(QWebSocket *webSocket)
{
    m_socket = webSocket;
    // The socket's signals must not keep this wrapper alive, or it would never be freed.
    std::weak_ptr<SyncSocket> weak = weak_from_this();
    auto with = [weak](auto member) {
        return [weak, member](auto &&...args) {
            if (auto self = weak.lock())
                ((*self).*member)(std::forward<decltype(args)>(args)...);
        };
    };
    QObject::connect(webSocket, &QWebSocket::connected, webSocket, with(&SyncSocket::onConnected));
    QObject::connect(webSocket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), webSocket,
                     [weak](QAbstractSocket::SocketError) {
                         if (auto self = weak.lock())
                             self->onError();
                     });
    QObject::connect(webSocket, &QWebSocket::disconnected, webSocket, with(&SyncSocket::onEnded));
    QObject::connect(webSocket, &QWebSocket::destroyed, webSocket, [weak]() {
        if (auto self = weak.lock())
            self->onEnded();
    });
    QObject::connect(webSocket, &QWebSocket::textMessageReceived, webSocket, [weak](const QString &text) {
        if (auto self = weak.lock())
            self->push({Event::Kind::Text, text, {}});
    });
    QObject::connect(webSocket, &QWebSocket::binaryMessageReceived, webSocket,
                     [weak](const QByteArray &data) {
                         if (auto self = weak.lock())
                             self->push({Event::Kind::Binary, {}, data});
                     });
}

bool SyncSocket::isOpen() const
{
    return m_opened && !m_ended && m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool SyncSocket::sendText(const QString &text, QString *failure)
{
    if (!isOpen()) {
        *failure = m_endDescription.isEmpty() ? QStringLiteral("Socket is not connected") : m_endDescription;
        return false;
    }
    const qint64 expected = text.toUtf8().size();
    if (m_socket->sendTextMessage(text) < expected) {
        *failure = m_socket->errorString();
        return false;
    }
    return true;
}

void SyncSocket::abort()
{
    if (m_socket)
        m_socket->abort();
    onEnded();
}

void SyncSocket::abortWith(const QString &reason)
{
    if (m_ended)
        return;
    m_error = reason;
    abort();
}

void SyncSocket::discard()
{
    if (!m_socket)
        return;
    QWebSocket *socket = m_socket;
    m_socket = nullptr;
    socket->disconnect();
    if (socket->state() == QAbstractSocket::ConnectedState)
        socket->close();
    else
        socket->abort();
    socket->deleteLater();
    m_endDescription = QStringLiteral("Socket closed");
    onEnded();
}

void SyncSocket::onConnected()
{
    m_opened = true;
    wakeOpenWaiter();
}

void SyncSocket::onHandshakeTimeout()
{
    if (m_opened || m_ended)
        return;
    m_error = QStringLiteral("The connection timed out");
    abort();
}

void SyncSocket::onError()
{
    if (m_error.isEmpty() && m_socket)
        m_error = m_socket->errorString();
}

void SyncSocket::onEnded()
{
    if (m_ended)
        return;
    m_ended = true;
    if (m_endDescription.isEmpty()) {
        if (!m_error.isEmpty()) {
            m_endDescription = m_error;
        } else if (m_socket) {
            const QString reason = m_socket->closeReason();
            m_endDescription = QStringLiteral("The connection was closed (code %1%2)")
                                   .arg(int(m_socket->closeCode()))
                                   .arg(reason.isEmpty() ? QString() : QStringLiteral(": ") + reason);
        } else {
            m_endDescription = QStringLiteral("The connection was closed");
        }
    }
    if (m_socket)
        m_socket->deleteLater();
    wakeOpenWaiter();
    push({Event::Kind::Ended, m_endDescription, {}});
}

void SyncSocket::push(Event event)
{
    if (!m_events.empty() && m_events.back().kind == Event::Kind::Ended)
        return;
    m_events.push_back(std::move(event));
    wakeEventWaiter();
}

SyncSocket::Event SyncSocket::takeEvent()
{
    Event event = m_events.front();
    // Ended stays queued so every later read sees it too.
    if (event.kind != Event::Kind::Ended)
        m_events.pop_front();
    return event;
}

void SyncSocket::wakeOpenWaiter()
{
    if (auto waiter = std::exchange(m_openWaiter, {}))
        resumeLater(waiter, shared_from_this());
}

void SyncSocket::wakeEventWaiter()
{
    if (auto waiter = std::exchange(m_eventWaiter, {}))
        resumeLater(waiter, shared_from_this());
}
