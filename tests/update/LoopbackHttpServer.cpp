#include "LoopbackHttpServer.h"

#include <QTimer>

LoopbackHttpServer::LoopbackHttpServer(QObject *parent)
    : QObject(parent)
{
    m_server.setRequestHandler(
        [this](LoopbackConnection &connection, const HttpRequest &request) { answer(connection, request); });
    m_server.listen();
}

QUrl LoopbackHttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.port()).arg(path));
}

void LoopbackHttpServer::serve(const QString &path, const QByteArray &body, int status)
{
    m_routes.insert(path, {status, body});
}

void LoopbackHttpServer::answer(LoopbackConnection &connection, const HttpRequest &request)
{
    const QString path = QString::fromUtf8(request.target);
    m_requests << path;
    if (m_silent)
        return;
    if (m_trickle.count() > 0) {
        connection.write("HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n");
        auto *drip = new QTimer(&connection);
        connect(drip, &QTimer::timeout, &connection, [&connection] { connection.write(" "); });
        drip->start(m_trickle);
        return;
    }
    const auto route = m_routes.value(path, {404, QByteArray("not found")});
    connection.respond({route.first, "application/octet-stream", route.second, {}, true});
}
