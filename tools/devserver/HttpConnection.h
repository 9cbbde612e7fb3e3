#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>

#include <functional>

class QTcpSocket;

struct HttpRequest {
    QByteArray method;
    QByteArray path;
    QByteArray version;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

struct HttpResponse {
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
};

// Reads HTTP/1.1 requests from one client socket (keep-alive, pipelined,
// Content-Length bodies only) and writes the answers. A request for the sync
// path that asks for a WebSocket upgrade is handed over untouched: the
// handshake bytes are only peeked at, never consumed.
class HttpConnection : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<HttpResponse(const HttpRequest &)>;
    using Upgrade = std::function<void(QTcpSocket *)>;

    static constexpr qsizetype maxHeaderBytes = 64 * 1024;
    static constexpr qsizetype maxBodyBytes = 1024 * 1024;

    HttpConnection(QTcpSocket *socket, Handler handler, Upgrade upgrade, QObject *parent = nullptr);

private:
    void readRequests();
    void respond(const HttpResponse &response, bool keepAlive);
    void refuse(int status, const QByteArray &message);

    QTcpSocket *m_socket;
    Handler m_handler;
    Upgrade m_upgrade;
};
