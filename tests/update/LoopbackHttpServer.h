#pragma once

#include "LoopbackServer.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QUrl>

#include <chrono>

// A tiny HTTP server on 127.0.0.1 for the updater's tests: answers GETs from
// a table of path -> (status, body), records the paths asked for, and can
// hold every request unanswered, or answer one byte at a time, to provoke
// time-outs.
class LoopbackHttpServer : public QObject {
    Q_OBJECT
public:
    explicit LoopbackHttpServer(QObject *parent = nullptr);

    QUrl url(const QString &path) const;
    void serve(const QString &path, const QByteArray &body, int status = 200);
    void setSilent(bool silent) { m_silent = silent; }
    // Sends the head and then one byte of an endless body every `interval`.
    void setTrickle(std::chrono::milliseconds interval) { m_trickle = interval; }
    QStringList requests() const { return m_requests; }

private:
    void answer(LoopbackConnection &connection, const HttpRequest &request);

    LoopbackServer m_server;
    QHash<QString, QPair<int, QByteArray>> m_routes;
    QStringList m_requests;
    bool m_silent = false;
    std::chrono::milliseconds m_trickle{0};
};
