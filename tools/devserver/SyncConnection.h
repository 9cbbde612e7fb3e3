#pragma once

#include "DevAuth.h"
#include "DevServerConfig.h"

#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QTimer>

#include <optional>

class DevClock;
class DevFunctions;
class DevStore;
class QWebSocket;

// One client of the sync protocol. Keeps the rules of the real deployment:
// Connect comes first; identity versions (Authenticate) and query-set versions
// (ModifyQuerySet) are counted apart and a message whose base version is not
// the current one ends the session; an Add for a query id already in the set
// closes the socket with 1011; an unknown message type (Pong included) gets a
// FatalError and the socket is closed; an expired or unknown token gets an
// AuthError and the socket is closed; after a quiet spell the server sends a
// JSON Ping and expects no answer.
class SyncConnection : public QObject {
    Q_OBJECT

public:
    SyncConnection(QWebSocket *socket, int number, DevFunctions *functions, DevAuth *auth, DevStore *store,
                   DevClock *clock, const DevServerConfig &config, QObject *parent = nullptr);
    ~SyncConnection() override;

    int number() const { return m_number; }

Q_SIGNALS:
    void finished();

private:
    struct Query {
        QString udfPath;
        QJsonValue args;
        bool sent = false;
        bool lastOk = true;
        QJsonValue lastValue;
        QString lastError;
    };

    void onText(const QString &text);
    void handleConnect(const QJsonObject &message);
    void handleAuthenticate(const QJsonObject &message);
    void handleModifyQuerySet(const QJsonObject &message);
    void onUserDataChanged(const QString &userId);
    void checkExpiry();

    // Re-evaluates the query set; pushes a Transition when forced or when a result changed.
    void pushTransition(const QJsonObject &startVersion, QJsonArray modifications, bool always);
    QJsonObject stateVersion();
    void send(const QJsonObject &message, const QString &logDetail = {});
    void fatal(const QString &error);
    void authError(const QString &error, bool updateAttempted);
    void closeWith(int code, const QString &reason);

    QWebSocket *m_socket;
    int m_number;
    DevFunctions *m_functions;
    DevAuth *m_auth;
    DevStore *m_store;
    DevClock *m_clock;
    DevServerConfig m_config;

    bool m_connected = false;
    bool m_closing = false;
    qint64 m_querySetVersion = 0;
    qint64 m_identityVersion = 0;
    quint64 m_ts = 0;
    std::optional<DevIdentity> m_identity;
    QMap<qint64, Query> m_queries;
    QTimer m_ping;
    QTimer m_expiry;
};
