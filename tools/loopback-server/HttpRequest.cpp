#include "HttpRequest.h"

namespace {

// Whether a comma-separated header value such as "keep-alive, Upgrade" names `token`.
bool listContains(const QByteArray &value, QByteArrayView token)
{
    for (const QByteArray &item : value.split(','))
        if (item.trimmed().compare(token, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

QByteArray HttpRequest::header(QByteArrayView name) const
{
    for (const Header &header : headers)
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    return {};
}

bool HttpRequest::hasHeader(QByteArrayView name) const
{
    return headerCount(name) > 0;
}

int HttpRequest::headerCount(QByteArrayView name) const
{
    int count = 0;
    for (const Header &header : headers)
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            ++count;
    return count;
}

bool HttpRequest::keepAlive() const
{
    const QByteArray connection = header("Connection");
    return version == "HTTP/1.1" ? !listContains(connection, "close")
                                 : listContains(connection, "keep-alive");
}

bool HttpRequest::isWebSocketUpgrade() const
{
    return method == "GET" && listContains(header("Upgrade"), "websocket");
}
