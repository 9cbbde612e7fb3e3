#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

struct HttpRequest;

// A web page can rebind its own DNS name to 127.0.0.1 and then reach a
// loopback server with the browser's requests; those still name the page's
// host in Host and Origin. These checks accept only this machine's names.

// "localhost" or a loopback address, with or without a port ("127.0.0.1:3210", "[::1]").
bool isLoopbackHost(QByteArrayView host);
// An http or https origin on a loopback host ("http://localhost:5173"); "null" is not one.
bool isLoopbackOrigin(QByteArrayView origin);

struct HttpRefusal {
    int status = 0;
    QByteArray reason;
};

// Why a request from a page that is not on this machine is refused (403), or
// one without a single Host (400); nothing for this machine's own clients.
std::optional<HttpRefusal> foreignOriginRefusal(const HttpRequest &request);
