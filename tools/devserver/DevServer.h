#pragma once

#include "DevServerConfig.h"
#include "HttpRequest.h"
#include "HttpResponse.h"

#include <QObject>
#include <QUrl>

#include <memory>

class DevAuth;
class DevClock;
class DevFunctions;
class DevStore;
class DictionaryTranslator;
class LoopbackServer;
class QWebSocket;
class SyncConnection;

// The local deployment: one loopback port serving POST /api/query|mutation|action
// and the sync WebSocket at /api/sync, backed by the data file. Only this
// machine's clients are served: a request or upgrade whose Host or Origin
// names another site (a web page that rebound its name to 127.0.0.1) gets 403.
class DevServer : public QObject {
    Q_OBJECT

public:
    // clock: nullptr for the wall clock; tests pass one they can move.
    explicit DevServer(DevServerConfig config, DevClock *clock = nullptr, QObject *parent = nullptr);
    ~DevServer() override;

    // Opens the data file and listens; false with a reason when either fails
    // or when the address is not a loopback address.
    bool start(QString *error);

    quint16 port() const;
    QUrl url() const;
    DevStore &store() { return *m_store; }
    DevAuth &auth() { return *m_auth; }
    DevClock &clock() { return *m_clock; }
    // The dictionaries' translator; nullptr when the configuration names no folder.
    const DictionaryTranslator *translator() const { return m_translator.get(); }
    // A change made on the server side (as the phone app would make it); live queries follow.
    bool setActiveDeck(const QString &email, const QString &deckId);
    int syncConnectionCount() const { return int(m_syncConnections.size()); }

Q_SIGNALS:
    void syncConnectionCountChanged();

private:
    HttpResponse handleHttp(const HttpRequest &request);
    void acceptWebSocket(QWebSocket *socket);

    DevServerConfig m_config;
    DevClock *m_clock;
    std::unique_ptr<DevStore> m_store;
    std::unique_ptr<DevAuth> m_auth;
    std::unique_ptr<DictionaryTranslator> m_translator;
    std::unique_ptr<DevFunctions> m_functions;
    LoopbackServer *m_http;
    QList<SyncConnection *> m_syncConnections;
    int m_nextSyncNumber = 1;
};
