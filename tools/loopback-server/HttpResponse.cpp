#include "HttpResponse.h"

#include <QJsonDocument>
#include <QJsonObject>

QByteArray httpReasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 429:
        return "Too Many Requests";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    case 504:
        return "Gateway Timeout";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Status";
    }
}

HttpResponse HttpResponse::problem(int status, const QString &code, const QString &message)
{
    HttpResponse response;
    response.status = status;
    response.body =
        QJsonDocument(QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("message"), message}})
            .toJson(QJsonDocument::Compact);
    return response;
}

QByteArray HttpResponse::serialized(bool keepAlive) const
{
    // A 204 has neither a body nor a length.
    const bool hasBody = status != 204;
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + httpReasonPhrase(status) + "\r\n";
    if (hasBody && !contentType.isEmpty())
        out += "Content-Type: " + contentType + "\r\n";
    for (const auto &[name, value] : extraHeaders)
        out += name + ": " + value + "\r\n";
    if (hasBody)
        out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += keepAlive && !close ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    if (hasBody)
        out += body;
    return out;
}
