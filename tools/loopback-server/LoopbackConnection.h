#pragma once

#include "HttpResponse.h"

#include <QObject>
#include <QPointer>
#include <QTcpSocket>

class LoopbackServer;

// One client connection of a LoopbackServer. Requests are served one at a
// time in arrival order: the next one is read once the current one has its
// answer, which the handler may give at once or later.
class LoopbackConnection : public QObject {
    Q_OBJECT

public:
    int number() const { return m_number; } // counted from 1 per server
    bool isOpen() const { return m_socket && !m_closing; }

    // The answer to the request being served.
    void respond(const HttpResponse &response);
    // Bytes as they are (a test's broken or slow server); the request stays unanswered.
    void write(const QByteArray &bytes);
    // Closes once everything written has been sent.
    void close();
    // Drops the connection at once, unanswered.
    void abort();

Q_SIGNALS:
    void closed();

private:
    friend class LoopbackServer;
    LoopbackConnection(QTcpSocket *socket, int number, LoopbackServer *server);

    void readRequests();
    void refuse(int status, const QByteArray &reason);
    void finish();

    QPointer<QTcpSocket> m_socket;
    LoopbackServer *m_server;
    int m_number;
    bool m_busy = false;     // a request waits for its answer
    bool m_keepAlive = true; // what the client asked for with that request
    bool m_reading = false;  // inside readRequests (an answer given at once must not recurse)
    bool m_closing = false;
    bool m_finished = false;
    qsizetype m_needed = 0; // bytes of a request whose body is still arriving
};
