#include "FakeSyncEndpoint.h"

#include "FakeDeployment.h"
#include "LoopbackServer.h"

#include <QJsonDocument>
#include <QWebSocket>

#include <algorithm>

FakeSyncEndpoint::FakeSyncEndpoint(QObject *parent)
    : QObject(parent)
{
}

FakeSyncEndpoint::~FakeSyncEndpoint()
{
    // The sockets are children: they end without a closing handshake, like a server that stops.
    for (QWebSocket *socket : m_connections.keys()) {
        socket->disconnect(this);
        socket->abort();
    }
}

void FakeSyncEndpoint::attachTo(FakeDeployment &deployment)
{
    deployment.acceptWebSockets("/api/sync", [this](QWebSocket *socket) { accept(socket); });
}

bool FakeSyncEndpoint::listen()
{
    if (!m_server) {
        m_server = new LoopbackServer(HttpLimits{}, this);
        m_server->acceptWebSockets("/api/sync", [this](QWebSocket *socket) { accept(socket); });
    }
    return m_server->listen();
}

QUrl FakeSyncEndpoint::url() const
{
    return QUrl(QStringLiteral("ws://127.0.0.1:%1/api/sync").arg(m_server ? m_server->port() : 0));
}

void FakeSyncEndpoint::setAcceptedTokens(const QStringList &tokens)
{
    m_acceptedTokens = QSet<QString>(tokens.begin(), tokens.end());
}

void FakeSyncEndpoint::setQueryResult(const QString &udfPath, const QJsonValue &value)
{
    m_results.insert(udfPath, value);
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it)
        sendUpdates(it.key(), it.value(), it.value().queries.keys(udfPath));
}

void FakeSyncEndpoint::setQueryResultForToken(const QString &token, const QString &udfPath,
                                              const QJsonValue &value)
{
    m_tokenResults[token].insert(udfPath, value);
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it)
        if (it.value().token == token)
            sendUpdates(it.key(), it.value(), it.value().queries.keys(udfPath));
}

QList<FakeSyncEndpoint::Frame> FakeSyncEndpoint::framesOfType(const QString &type) const
{
    QList<Frame> result;
    for (const Frame &frame : m_frames)
        if (frame.type() == type)
            result.append(frame);
    return result;
}

int FakeSyncEndpoint::liveConnectionCount() const
{
    return int(std::count_if(m_connections.begin(), m_connections.end(),
                             [](const Connection &connection) { return !connection.closing; }));
}

QWebSocket *FakeSyncEndpoint::newestLive() const
{
    QWebSocket *newest = nullptr;
    int number = 0;
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        if (!it.value().closing && it.value().number > number) {
            newest = it.key();
            number = it.value().number;
        }
    }
    return newest;
}

QMap<int, QString> FakeSyncEndpoint::liveQueries() const
{
    QWebSocket *socket = newestLive();
    return socket ? m_connections.value(socket).queries : QMap<int, QString>();
}

std::optional<QString> FakeSyncEndpoint::liveToken() const
{
    QWebSocket *socket = newestLive();
    return socket ? m_connections.value(socket).token : std::nullopt;
}

void FakeSyncEndpoint::sendText(const QString &text)
{
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it)
        if (!it.value().closing)
            it.key()->sendTextMessage(text);
}

void FakeSyncEndpoint::sendBinary(const QByteArray &bytes)
{
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it)
        if (!it.value().closing)
            it.key()->sendBinaryMessage(bytes);
}

void FakeSyncEndpoint::pushTransition(const QJsonArray &modifications)
{
    const QJsonObject version{{QStringLiteral("querySet"), 0},
                              {QStringLiteral("identity"), 0},
                              {QStringLiteral("ts"), QStringLiteral("AAAAAAAAAAA=")}};
    sendText(
        QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("Transition")},
                                                    {QStringLiteral("startVersion"), version},
                                                    {QStringLiteral("endVersion"), version},
                                                    {QStringLiteral("modifications"), modifications}})
                              .toJson(QJsonDocument::Compact)));
}

void FakeSyncEndpoint::pushPing()
{
    sendText(QStringLiteral("{\"type\":\"Ping\"}"));
}

namespace {

QString errorMessage(const QString &type, const std::optional<QString> &error)
{
    QJsonObject message{{QStringLiteral("type"), type}};
    if (error)
        message.insert(QStringLiteral("error"), *error);
    return QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

} // namespace

void FakeSyncEndpoint::pushAuthError(const std::optional<QString> &error)
{
    sendText(errorMessage(QStringLiteral("AuthError"), error));
    if (m_closesAfterAuthError)
        closeConnections(QWebSocketProtocol::CloseCodeNormal, QStringLiteral("AuthError"));
}

void FakeSyncEndpoint::pushFatalError(const std::optional<QString> &error)
{
    sendText(errorMessage(QStringLiteral("FatalError"), error));
    closeConnections(QWebSocketProtocol::CloseCodeBadOperation, QStringLiteral("FatalError"));
}

void FakeSyncEndpoint::closeConnections(QWebSocketProtocol::CloseCode code, const QString &reason)
{
    for (QWebSocket *socket : m_connections.keys())
        closeSocket(socket, code, reason);
}

void FakeSyncEndpoint::abortConnections()
{
    for (QWebSocket *socket : m_connections.keys()) {
        m_connections[socket].closing = true;
        socket->abort();
    }
}

void FakeSyncEndpoint::accept(QWebSocket *socket)
{
    socket->setParent(this);
    m_connections.insert(socket, Connection{++m_opened, 0, 0, std::nullopt, {}, false});
    connect(socket, &QWebSocket::textMessageReceived, this,
            [this, socket](const QString &text) { receive(socket, text); });
    connect(socket, &QWebSocket::binaryMessageReceived, this, [this, socket](const QByteArray &) {
        violate(socket, QStringLiteral("binary client message"), QWebSocketProtocol::CloseCodeBadOperation,
                true);
    });
    connect(socket, &QWebSocket::disconnected, this, [this, socket]() {
        m_connections.remove(socket);
        socket->disconnect(this);
        socket->deleteLater();
        Q_EMIT connectionClosed();
    });
    Q_EMIT connectionOpened();
}

void FakeSyncEndpoint::receive(QWebSocket *socket, const QString &text)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end() || it->closing)
        return; // the server stops reading once it decided to close
    Connection &connection = *it;

    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    Frame frame{connection.number, text, document.object()};
    m_frames.append(frame);
    Q_EMIT frameReceived(frame);

    const QString type = frame.type();
    if (!document.isObject() || type.isEmpty())
        violate(socket, QStringLiteral("unparsable client message"),
                QWebSocketProtocol::CloseCodeBadOperation, true);
    else if (type == QLatin1String("Connect"))
        ; // nothing to check beyond recording it
    else if (type == QLatin1String("Authenticate"))
        handleAuthenticate(socket, connection, frame.message);
    else if (type == QLatin1String("ModifyQuerySet"))
        handleModifyQuerySet(socket, connection, frame.message);
    else
        violate(socket, QStringLiteral("unknown client message type %1").arg(type),
                QWebSocketProtocol::CloseCodeBadOperation, true);
}

void FakeSyncEndpoint::handleAuthenticate(QWebSocket *socket, Connection &connection,
                                          const QJsonObject &message)
{
    if (message.value(QStringLiteral("baseVersion")).toInt(-1) != connection.identityVersion) {
        violate(socket,
                QStringLiteral("identity base version %1 does not match %2")
                    .arg(message.value(QStringLiteral("baseVersion")).toInt(-1))
                    .arg(connection.identityVersion),
                QWebSocketProtocol::CloseCodeBadOperation, true);
        return;
    }
    const QString token = message.value(QStringLiteral("value")).toString();
    if (!m_acceptedTokens.isEmpty() && !m_acceptedTokens.contains(token)) {
        socket->sendTextMessage(
            errorMessage(QStringLiteral("AuthError"), QStringLiteral("Token is not valid")));
        closeSocket(socket, QWebSocketProtocol::CloseCodeNormal, QStringLiteral("AuthError"));
        return;
    }
    ++connection.identityVersion;
    connection.token = token;
    sendUpdates(socket, connection, connection.queries.keys());
}

void FakeSyncEndpoint::handleModifyQuerySet(QWebSocket *socket, Connection &connection,
                                            const QJsonObject &message)
{
    const int base = message.value(QStringLiteral("baseVersion")).toInt(-1);
    const int next = message.value(QStringLiteral("newVersion")).toInt(-1);
    if (base != connection.querySetVersion || next != base + 1) {
        violate(socket,
                QStringLiteral("query set v%1->v%2 does not follow v%3")
                    .arg(base)
                    .arg(next)
                    .arg(connection.querySetVersion),
                QWebSocketProtocol::CloseCodeBadOperation, true);
        return;
    }
    QList<int> added;
    for (const QJsonValue &entry : message.value(QStringLiteral("modifications")).toArray()) {
        const QJsonObject modification = entry.toObject();
        const int queryId = modification.value(QStringLiteral("queryId")).toInt(-1);
        const QString kind = modification.value(QStringLiteral("type")).toString();
        if (kind == QLatin1String("Add")) {
            if (connection.queries.contains(queryId)) {
                // 1011, without a FatalError first
                violate(socket, QStringLiteral("query %1 added twice").arg(queryId),
                        QWebSocketProtocol::CloseCodeBadOperation, false);
                return;
            }
            connection.queries.insert(queryId, modification.value(QStringLiteral("udfPath")).toString());
            added.append(queryId);
        } else if (kind == QLatin1String("Remove")) {
            connection.queries.remove(queryId);
        } else {
            violate(socket, QStringLiteral("unknown query modification %1").arg(kind),
                    QWebSocketProtocol::CloseCodeBadOperation, true);
            return;
        }
    }
    connection.querySetVersion = next;
    sendUpdates(socket, connection, added);
}

void FakeSyncEndpoint::violate(QWebSocket *socket, const QString &rule, QWebSocketProtocol::CloseCode code,
                               bool fatalError)
{
    m_violations.append(rule);
    if (fatalError)
        socket->sendTextMessage(errorMessage(QStringLiteral("FatalError"), rule));
    closeSocket(socket, code, rule.left(100));
}

void FakeSyncEndpoint::closeSocket(QWebSocket *socket, QWebSocketProtocol::CloseCode code,
                                   const QString &reason)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end() || it->closing)
        return;
    it->closing = true;
    socket->close(code, reason);
}

std::optional<QJsonValue> FakeSyncEndpoint::resultFor(const Connection &connection,
                                                      const QString &udfPath) const
{
    if (connection.token) {
        const auto forToken = m_tokenResults.constFind(*connection.token);
        if (forToken != m_tokenResults.constEnd() && forToken->contains(udfPath))
            return forToken->value(udfPath);
    }
    const auto general = m_results.constFind(udfPath);
    if (general != m_results.constEnd())
        return *general;
    return std::nullopt;
}

void FakeSyncEndpoint::sendUpdates(QWebSocket *socket, const Connection &connection,
                                   const QList<int> &queryIds)
{
    if (connection.closing)
        return;
    QJsonArray modifications;
    for (int queryId : queryIds) {
        const std::optional<QJsonValue> value = resultFor(connection, connection.queries.value(queryId));
        if (!value)
            continue;
        modifications.append(QJsonObject{{QStringLiteral("type"), QStringLiteral("QueryUpdated")},
                                         {QStringLiteral("queryId"), queryId},
                                         {QStringLiteral("value"), *value},
                                         {QStringLiteral("logLines"), QJsonArray()},
                                         {QStringLiteral("journal"), QJsonValue()}});
    }
    if (modifications.isEmpty())
        return;
    const QJsonObject version{{QStringLiteral("querySet"), connection.querySetVersion},
                              {QStringLiteral("identity"), connection.identityVersion},
                              {QStringLiteral("ts"), QStringLiteral("AAAAAAAAAAA=")}};
    socket->sendTextMessage(
        QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("Transition")},
                                                    {QStringLiteral("startVersion"), version},
                                                    {QStringLiteral("endVersion"), version},
                                                    {QStringLiteral("modifications"), modifications}})
                              .toJson(QJsonDocument::Compact)));
}
