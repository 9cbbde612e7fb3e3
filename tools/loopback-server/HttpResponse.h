#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

struct HttpResponse {
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> extraHeaders;
    bool close = false; // close the connection after this answer, whatever the client asked

    // {"code": code, "message": message}: how the deployment describes a refused request.
    static HttpResponse problem(int status, const QString &code, const QString &message);

    // The bytes on the wire; `keepAlive` is what the client asked for.
    QByteArray serialized(bool keepAlive) const;
};

QByteArray httpReasonPhrase(int status);
