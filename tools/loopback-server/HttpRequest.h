#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <utility>

// One HTTP/1.x request as it arrived; header names keep the client's spelling and order.
struct HttpRequest {
    using Header = std::pair<QByteArray, QByteArray>;

    QByteArray method;
    QByteArray target;  // as sent, with any query
    QByteArray path;    // the target without its query
    QByteArray version; // "HTTP/1.1" or "HTTP/1.0"
    QList<Header> headers;
    QByteArray body;

    // The first header of that name (case-insensitive); empty when absent.
    QByteArray header(QByteArrayView name) const;
    bool hasHeader(QByteArrayView name) const;
    int headerCount(QByteArrayView name) const;
    // Whether the client keeps the connection open after the answer.
    bool keepAlive() const;
    // A GET that asks to switch the connection to the WebSocket protocol.
    bool isWebSocketUpgrade() const;
};
