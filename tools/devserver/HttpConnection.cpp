#include "HttpConnection.h"

#include "DevLog.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>

namespace {
QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 501:
        return "Not Implemented";
    default:
        return "Status";
    }
}
} // namespace

HttpConnection::HttpConnection(QTcpSocket *socket, Handler handler, Upgrade upgrade, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_handler(std::move(handler))
    , m_upgrade(std::move(upgrade))
{
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::readRequests);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        m_socket->deleteLater();
        deleteLater();
    });
    readRequests();
}

void HttpConnection::readRequests()
{
    while (m_socket && m_socket->state() == QAbstractSocket::ConnectedState) {
        const QByteArray pending = m_socket->peek(m_socket->bytesAvailable());
        const qsizetype headerEnd = pending.indexOf("\r\n\r\n");
        if (headerEnd < 0) {
            if (pending.size() > maxHeaderBytes)
                refuse(431, "request headers too large");
            return;
        }
        const QList<QByteArray> lines = pending.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        if (requestLine.size() != 3 || !requestLine.at(2).startsWith("HTTP/1.")) {
            refuse(400, "malformed request line");
            return;
        }
        HttpRequest request;
        request.method = requestLine.at(0);
        request.path = requestLine.at(1);
        request.version = requestLine.at(2);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines.at(i).trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0) {
                refuse(400, "malformed header line");
                return;
            }
            request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        }

        if (request.method == "GET" && request.headers.value("upgrade").toLower() == "websocket") {
            // Hand the socket over with the handshake still unread.
            disconnect(m_socket, nullptr, this, nullptr);
            QTcpSocket *socket = m_socket;
            m_socket = nullptr;
            m_upgrade(socket);
            deleteLater();
            return;
        }
        if (request.headers.contains("transfer-encoding")) {
            refuse(501, "chunked request bodies are not supported; send Content-Length");
            return;
        }
        qsizetype length = 0;
        if (request.headers.contains("content-length")) {
            bool ok = false;
            length = request.headers.value("content-length").toLongLong(&ok);
            if (!ok || length < 0) {
                refuse(400, "malformed Content-Length");
                return;
            }
        } else if (request.method == "POST") {
            refuse(411, "Content-Length required");
            return;
        }
        if (length > maxBodyBytes) {
            refuse(413, "request body too large");
            return;
        }
        if (pending.size() < headerEnd + 4 + length)
            return; // wait for the rest of the body
        m_socket->read(headerEnd + 4);
        request.body = m_socket->read(length);

        const bool keepAlive = request.version == "HTTP/1.1"
                                   ? request.headers.value("connection").toLower() != "close"
                                   : request.headers.value("connection").toLower() == "keep-alive";
        respond(m_handler(request), keepAlive);
    }
}

void HttpConnection::respond(const HttpResponse &response, bool keepAlive)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) +
                     "\r\nContent-Type: " + response.contentType +
                     "\r\nContent-Length: " + QByteArray::number(response.body.size()) +
                     "\r\nConnection: " + (keepAlive ? "keep-alive" : "close") + "\r\n\r\n" + response.body;
    m_socket->write(out);
    if (!keepAlive)
        m_socket->disconnectFromHost();
}

void HttpConnection::refuse(int status, const QByteArray &message)
{
    const QByteArray body =
        QJsonDocument(QJsonObject{{"code", QString::fromLatin1(reasonPhrase(status)).remove(u' ')},
                                  {"message", QString::fromLatin1(message)}})
            .toJson(QJsonDocument::Compact);
    devLog(QStringLiteral("http refused %1: %2").arg(status).arg(QString::fromLatin1(message)));
    m_socket->readAll();
    respond(HttpResponse{status, "application/json", body}, false);
}
