#include "DevServer.h"

#include "DevAuth.h"
#include "DevClock.h"
#include "DevFunctions.h"
#include "DevLog.h"
#include "DevStore.h"
#include "SyncConnection.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>
#include <QWebSocketServer>

namespace {
HttpResponse jsonResponse(int status, const QJsonObject &body)
{
    return HttpResponse{status, "application/json", QJsonDocument(body).toJson(QJsonDocument::Compact)};
}

HttpResponse problem(int status, const QString &code, const QString &message)
{
    return jsonResponse(status, QJsonObject{{"code", code}, {"message", message}});
}
} // namespace

DevServer::DevServer(DevServerConfig config, DevClock *clock, QObject *parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_clock(clock ? clock : new DevClock(this))
    , m_store(std::make_unique<DevStore>(m_config.dataPath, m_clock))
    , m_auth(std::make_unique<DevAuth>(m_store.get(), m_clock, m_config))
    , m_functions(std::make_unique<DevFunctions>(m_store.get(), m_auth.get(), m_clock))
    , m_tcp(new QTcpServer(this))
    , m_ws(new QWebSocketServer(QStringLiteral("vocarta-devserver"), QWebSocketServer::NonSecureMode, this))
{
    connect(m_tcp, &QTcpServer::newConnection, this, &DevServer::acceptTcp);
    connect(m_ws, &QWebSocketServer::newConnection, this, &DevServer::acceptWebSocket);
}

DevServer::~DevServer()
{
    // Sync connections own web sockets that wrap sockets of the TCP server: end them first.
    const auto connections = m_syncConnections;
    m_syncConnections.clear();
    qDeleteAll(connections);
}

bool DevServer::start(QString *error)
{
    if (!m_config.host.isLoopback()) {
        *error =
            QStringLiteral("refusing to listen on %1: the development server serves loopback addresses only")
                .arg(m_config.host.toString());
        return false;
    }
    if (!m_store->open(error))
        return false;
    if (!m_tcp->listen(m_config.host, m_config.port)) {
        *error = QStringLiteral("cannot listen on %1 port %2: %3")
                     .arg(m_config.host.toString())
                     .arg(m_config.port)
                     .arg(m_tcp->errorString());
        return false;
    }
    return true;
}

quint16 DevServer::port() const
{
    return m_tcp->serverPort();
}

QUrl DevServer::url() const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(m_config.host.toString());
    url.setPort(port());
    return url;
}

void DevServer::acceptTcp()
{
    while (QTcpSocket *socket = m_tcp->nextPendingConnection()) {
        new HttpConnection(
            socket, [this](const HttpRequest &r) { return handleHttp(r); },
            [this](QTcpSocket *s) {
                const QByteArray head = s->peek(s->bytesAvailable());
                const QByteArray target = head.left(head.indexOf('\n')).split(' ').value(1);
                const qsizetype queryStart = target.indexOf('?');
                if ((queryStart < 0 ? target : target.left(queryStart)) != "/api/sync") {
                    devLog(QStringLiteral("http refused WebSocket upgrade for %1")
                               .arg(QString::fromLatin1(target.left(80))));
                    s->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                    s->disconnectFromHost();
                    return;
                }
                m_ws->handleConnection(s);
            },
            this);
    }
}

void DevServer::acceptWebSocket()
{
    while (QWebSocket *socket = m_ws->nextPendingConnection()) {
        auto *connection = new SyncConnection(socket, m_nextSyncNumber++, m_functions.get(), m_auth.get(),
                                              m_store.get(), m_clock, m_config);
        m_syncConnections.append(connection);
        connect(connection, &SyncConnection::finished, this, [this, connection] {
            m_syncConnections.removeOne(connection);
            connection->deleteLater();
            Q_EMIT syncConnectionCountChanged();
        });
        Q_EMIT syncConnectionCountChanged();
    }
}

bool DevServer::setActiveDeck(const QString &email, const QString &deckId)
{
    DevUser *user = m_store->state().userByEmail(email);
    const DevDeck *deck = m_store->state().deckById(deckId);
    if (!user || !deck || deck->userId != user->id)
        return false;
    user->activeDeckId = deck->id;
    devLog(QStringLiteral("admin: active deck of %1 is now %2").arg(email, deck->name));
    m_store->commit({user->id});
    return true;
}

HttpResponse DevServer::handleHttp(const HttpRequest &request)
{
    QElapsedTimer timer;
    timer.start();
    const qsizetype queryStart = request.path.indexOf('?');
    const QByteArray path = queryStart < 0 ? request.path : request.path.left(queryStart);
    QString functionPath;
    HttpResponse response;
    QString outcomeText;

    auto finish = [&](HttpResponse r, const QString &what) {
        devLog(QStringLiteral("http %1 %2 %3 -> %4 %5 (%6 ms)")
                   .arg(QString::fromLatin1(request.method.left(10)), QString::fromLatin1(path.left(80)),
                        functionPath.isEmpty() ? QStringLiteral("-") : functionPath.left(80))
                   .arg(r.status)
                   .arg(what)
                   .arg(timer.elapsed()));
        return r;
    };

    static const QHash<QByteArray, DevFunctions::Kind> endpoints = {
        {"/api/query", DevFunctions::Kind::Query},
        {"/api/mutation", DevFunctions::Kind::Mutation},
        {"/api/action", DevFunctions::Kind::Action}};
    if (!endpoints.contains(path))
        return finish(problem(404, QStringLiteral("NotFound"), QStringLiteral("No such route")),
                      QStringLiteral("not found"));
    if (request.method != "POST")
        return finish(problem(405, QStringLiteral("MethodNotAllowed"), QStringLiteral("Use POST")),
                      QStringLiteral("method not allowed"));

    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(request.body, &parseError);
    const QJsonObject body = doc.object();
    if (parseError.error != QJsonParseError::NoError || !doc.isObject() ||
        !body.value(QStringLiteral("path")).isString() || !body.value(QStringLiteral("args")).isObject() ||
        !(body.value(QStringLiteral("format")).isUndefined() ||
          body.value(QStringLiteral("format")).toString() == QLatin1String("json"))) {
        return finish(
            problem(400, QStringLiteral("BadJsonBody"),
                    QStringLiteral("The body must be a JSON object with \"path\" (string), \"args\" (object) "
                                   "and \"format\": \"json\"")),
            QStringLiteral("bad body"));
    }
    functionPath = body.value(QStringLiteral("path")).toString();
    if (functionPath == QLatin1String("auth:signIn") &&
        body.value(QStringLiteral("args")).toObject().contains(QStringLiteral("refreshToken")))
        functionPath += QStringLiteral(" (refresh)");

    std::optional<DevIdentity> identity;
    if (request.headers.contains("authorization")) {
        const QByteArray header = request.headers.value("authorization");
        const auto check = header.startsWith("Bearer ")
                               ? m_auth->checkAccessToken(QString::fromUtf8(header.mid(7)))
                               : DevAuth::AccessResult{};
        if (check.check == DevAuth::AccessCheck::Expired)
            return finish(problem(401, QStringLiteral("Unauthenticated"),
                                  QStringLiteral("Could not verify token claim: the token has expired")),
                          QStringLiteral("access token expired"));
        if (check.check != DevAuth::AccessCheck::Valid)
            return finish(problem(401, QStringLiteral("Unauthenticated"),
                                  QStringLiteral("Could not verify token: unknown access token")),
                          QStringLiteral("unknown access token"));
        identity = check.identity;
    }

    const QString name = body.value(QStringLiteral("path")).toString();
    const DevFunctions::Kind endpointKind = endpoints.value(path);
    const auto kind = m_functions->kindOf(name);
    DevFunctions::Outcome outcome;
    if (!kind)
        outcome = {
            false, {}, QStringLiteral("Could not find public function for '%1'").arg(name.left(80)), {}};
    else if (*kind != endpointKind)
        outcome = {false,
                   {},
                   QStringLiteral("Trying to execute %1 as %2, but it is defined as %3.")
                       .arg(name, DevFunctions::kindName(endpointKind), DevFunctions::kindName(*kind)),
                   {}};
    else
        outcome = m_functions->call(name, body.value(QStringLiteral("args")).toObject(), identity);

    QJsonObject envelope;
    if (outcome.ok) {
        envelope = QJsonObject{{"status", "success"}, {"value", outcome.value}, {"logLines", QJsonArray()}};
        outcomeText = QStringLiteral("success");
    } else {
        envelope = QJsonObject{
            {"status", "error"}, {"errorMessage", outcome.errorMessage}, {"logLines", QJsonArray()}};
        outcomeText = QStringLiteral("error \"%1\"").arg(outcome.errorMessage.section(u'\n', 0, 0).left(160));
    }
    if (!outcome.note.isEmpty())
        outcomeText += QStringLiteral(" [%1]").arg(outcome.note);
    if (identity)
        outcomeText += QStringLiteral(" user=%1").arg(identity->userId.left(8));
    return finish(jsonResponse(200, envelope), outcomeText);
}
