#include "LoopbackHttpServer.h"

#include <QTcpSocket>
#include <QTimer>

LoopbackHttpServer::LoopbackHttpServer(QObject *parent)
    : QObject(parent)
{
    m_server.listen(QHostAddress::LocalHost);
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackHttpServer::onConnection);
}

QUrl LoopbackHttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void LoopbackHttpServer::serve(const QString &path, const QByteArray &body, int status)
{
    m_routes.insert(path, {status, body});
}

void LoopbackHttpServer::onConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (!buffer->contains("\r\n\r\n"))
                return;
            const QList<QByteArray> requestLine = buffer->left(buffer->indexOf("\r\n")).split(' ');
            const QString path =
                requestLine.value(1).isEmpty() ? QString() : QString::fromUtf8(requestLine.value(1));
            m_requests << path;
            buffer->clear();
            if (m_silent)
                return;
            if (m_trickle.count() > 0) {
                socket->write("HTTP/1.1 200 X\r\nContent-Length: 1000000\r\n\r\n");
                auto *drip = new QTimer(socket);
                connect(drip, &QTimer::timeout, socket, [socket] { socket->write(" "); });
                drip->start(m_trickle);
                return;
            }
            const auto route = m_routes.value(path, {404, QByteArray("not found")});
            QByteArray response = "HTTP/1.1 " + QByteArray::number(route.first) +
                                  " X\r\nContent-Length: " + QByteArray::number(route.second.size()) +
                                  "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n\r\n" +
                                  route.second;
            socket->write(response);
            socket->disconnectFromHost();
        });
    }
}
