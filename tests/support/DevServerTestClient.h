#pragma once

#include "DevClock.h"
#include "DevServer.h"

#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QWebSocket>

#include <memory>
#include <optional>

// An in-process deployment on a free loopback port with a data file in a
// temporary folder and a clock the test moves by hand.
class DevServerFixture {
public:
    DevServerFixture();
    ~DevServerFixture();

    DevServerConfig config;
    DevClock clock;
    QTemporaryDir dir;
    QStringList logLines;
    std::unique_ptr<DevServer> server;

    bool start();
    bool restart();
    QUrl url() const { return server->url(); }
    QString dataPath() const { return dir.filePath(QStringLiteral("state.json")); }
    QString demoUserId();
    QString freshLinkCode();
};

struct CallResult {
    int status = 0;
    QJsonObject body;
    bool isSuccess() const
    {
        return status == 200 && body.value(QStringLiteral("status")).toString() == "success";
    }
    QJsonValue value() const { return body.value(QStringLiteral("value")); }
    QString errorMessage() const { return body.value(QStringLiteral("errorMessage")).toString(); }
};

// Plain HTTP calls, written from the wire format rather than the program's client.
class HttpCaller {
public:
    explicit HttpCaller(QUrl base)
        : m_base(std::move(base))
    {
    }
    CallResult call(const QString &kind, const QString &path, const QJsonObject &args,
                    const std::optional<QString> &token = std::nullopt);
    CallResult rawPost(const QString &route, const QByteArray &body);
    // A pair from redeeming a fresh link code of the demo account.
    std::pair<QString, QString> signIn(DevServerFixture &fixture);

private:
    QUrl m_base;
    QNetworkAccessManager m_nam;
};

// A sync client that records every message and the close code.
class SyncTestClient : public QObject {
    Q_OBJECT

public:
    explicit SyncTestClient(QObject *parent = nullptr);

    bool open(const QUrl &base);
    void send(const QJsonObject &message);
    void sendConnect(int connectionCount = 0);
    void sendAuthenticate(qint64 baseVersion, const QString &token);
    void sendAdd(qint64 baseVersion, qint64 newVersion, const QList<std::pair<int, QString>> &queries);

    // Waits for the next message not yet taken; nullopt after the timeout.
    std::optional<QJsonObject> next(int timeoutMs = 20000);
    // Takes messages until one of the given type arrives.
    std::optional<QJsonObject> nextOfType(const QString &type, int timeoutMs = 20000);
    bool waitClosed(int timeoutMs = 20000);
    int closeCode() const { return m_closeCode; }
    QList<QJsonObject> received() const { return m_received; }

private:
    QWebSocket m_socket;
    QList<QJsonObject> m_received;
    qsizetype m_taken = 0;
    bool m_closed = false;
    int m_closeCode = -1;
};
