#pragma once

#include "HttpRequest.h"

#include <QByteArrayView>

struct HttpLimits {
    qsizetype maxHeadBytes = 64 * 1024;
    qsizetype maxBodyBytes = 1024 * 1024;
};

// What the bytes at the front of a connection's input amount to.
struct HttpParseResult {
    enum class Kind {
        Incomplete, // nothing wrong so far; wait for more bytes
        Request,    // a whole request (head and Content-Length body)
        Upgrade,    // the head of a WebSocket upgrade; the bytes stay for the handshake
        Refused,    // the client broke the protocol or a limit; answer `status` and close
    };
    Kind kind = Kind::Incomplete;
    HttpRequest request; // Request and Upgrade
    // Request: the bytes it takes; Upgrade: the bytes of its head; Incomplete:
    // the bytes needed once the head is known, else 0.
    qsizetype size = 0;
    int status = 0;    // Refused
    QByteArray reason; // Refused: one line for the log and the answer
};

// A strict reader of HTTP/1.0 and 1.1 requests: CRLF line ends only, token
// methods and header names, origin-form targets, no folded or control
// characters in header values, one Host and at most one Content-Length, no
// Transfer-Encoding (bodies come with a Content-Length). Every input either
// waits for more bytes or ends in a request or a refusal, within the limits.
HttpParseResult parseHttpRequest(QByteArrayView input, const HttpLimits &limits);
