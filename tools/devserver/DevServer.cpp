#include "DevServer.h"

#include "DevAuth.h"
#include "DevClock.h"
#include "DevFunctions.h"
#include "DevLog.h"
#include "DevStore.h"
#include "DictionaryTranslator.h"
#include "LoopbackServer.h"
#include "SyncConnection.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebSocket>

namespace {
HttpResponse jsonResponse(int status, const QJsonObject &body)
{
    return HttpResponse{
        status, "application/json", QJsonDocument(body).toJson(QJsonDocument::Compact), {}, false};
}

} // namespace

DevServer::DevServer(DevServerConfig config, DevClock *clock, QObject *parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_clock(clock ? clock : new DevClock(this))
    , m_store(std::make_unique<DevStore>(m_config.dataPath, m_clock))
    , m_auth(std::make_unique<DevAuth>(m_store.get(), m_clock, m_config))
    , m_translator(m_config.dictionaryDir.isEmpty()
                       ? nullptr
                       : std::make_unique<DictionaryTranslator>(m_config.dictionaryDir))
    , m_functions(std::make_unique<DevFunctions>(m_store.get(), m_auth.get(), m_clock, m_translator.get()))
    , m_http(new LoopbackServer(HttpLimits{}, this))
{
    m_http->setLoopbackOriginsOnly(true);
    m_http->setRequestHandler([this](LoopbackConnection &connection, const HttpRequest &request) {
        connection.respond(handleHttp(request));
    });
    m_http->acceptWebSockets("/api/sync", [this](QWebSocket *socket) { acceptWebSocket(socket); });
    connect(m_http, &LoopbackServer::refused, this, [](int status, const QByteArray &reason) {
        devLog(QStringLiteral("http refused %1: %2").arg(status).arg(QString::fromLatin1(reason)));
    });
}

DevServer::~DevServer()
{
    // Sync connections own web sockets that wrap sockets of the HTTP server: end them first.
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
    if (!m_http->listen(m_config.host, m_config.port)) {
        *error = QStringLiteral("cannot listen on %1 port %2: %3")
                     .arg(m_config.host.toString())
                     .arg(m_config.port)
                     .arg(m_http->errorString());
        return false;
    }
    return true;
}

quint16 DevServer::port() const
{
    return m_http->port();
}

QUrl DevServer::url() const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(m_config.host.toString());
    url.setPort(port());
    return url;
}

void DevServer::acceptWebSocket(QWebSocket *socket)
{
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
    const QByteArray &path = request.path;
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
        return finish(HttpResponse::problem(404, QStringLiteral("NotFound"), QStringLiteral("No such route")),
                      QStringLiteral("not found"));
    if (request.method != "POST")
        return finish(
            HttpResponse::problem(405, QStringLiteral("MethodNotAllowed"), QStringLiteral("Use POST")),
            QStringLiteral("method not allowed"));

    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(request.body, &parseError);
    const QJsonObject body = doc.object();
    if (parseError.error != QJsonParseError::NoError || !doc.isObject() ||
        !body.value(QStringLiteral("path")).isString() || !body.value(QStringLiteral("args")).isObject() ||
        !(body.value(QStringLiteral("format")).isUndefined() ||
          body.value(QStringLiteral("format")).toString() == QLatin1String("json"))) {
        return finish(
            HttpResponse::problem(
                400, QStringLiteral("BadJsonBody"),
                QStringLiteral("The body must be a JSON object with \"path\" (string), \"args\" (object) "
                               "and \"format\": \"json\"")),
            QStringLiteral("bad body"));
    }
    functionPath = body.value(QStringLiteral("path")).toString();
    if (functionPath == QLatin1String("auth:signIn") &&
        body.value(QStringLiteral("args")).toObject().contains(QStringLiteral("refreshToken")))
        functionPath += QStringLiteral(" (refresh)");

    std::optional<DevIdentity> identity;
    if (request.hasHeader("Authorization")) {
        const QByteArray header = request.header("Authorization");
        const auto check = header.startsWith("Bearer ")
                               ? m_auth->checkAccessToken(QString::fromUtf8(header.mid(7)))
                               : DevAuth::AccessResult{};
        if (check.check == DevAuth::AccessCheck::Expired)
            return finish(
                HttpResponse::problem(401, QStringLiteral("Unauthenticated"),
                                      QStringLiteral("Could not verify token claim: the token has expired")),
                QStringLiteral("access token expired"));
        if (check.check != DevAuth::AccessCheck::Valid)
            return finish(
                HttpResponse::problem(401, QStringLiteral("Unauthenticated"),
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
