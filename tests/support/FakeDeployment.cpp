#include "FakeDeployment.h"

#include <QJsonDocument>
#include <QTcpSocket>
#include <QTimer>

namespace {

FakeDeployment::Request recorded(int connection, const HttpRequest &request)
{
    FakeDeployment::Request recorded;
    static_cast<HttpRequest &>(recorded) = request;
    recorded.connection = connection;
    return recorded;
}

} // namespace

// ---- Request ----

QJsonObject FakeDeployment::Request::json() const
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    return document.isObject() ? document.object() : QJsonObject();
}

QString FakeDeployment::Request::functionPath() const
{
    return json().value(QStringLiteral("path")).toString();
}

QJsonObject FakeDeployment::Request::args() const
{
    return json().value(QStringLiteral("args")).toObject();
}

// ---- Answer ----

FakeDeployment::Answer FakeDeployment::Answer::success(const QJsonValue &value)
{
    return envelope(
        QJsonObject{{QStringLiteral("status"), QStringLiteral("success")}, {QStringLiteral("value"), value}});
}

FakeDeployment::Answer FakeDeployment::Answer::issued(const QString &token, const QString &refreshToken)
{
    return success(
        QJsonObject{{QStringLiteral("tokens"), QJsonObject{{QStringLiteral("token"), token},
                                                           {QStringLiteral("refreshToken"), refreshToken}}}});
}

FakeDeployment::Answer FakeDeployment::Answer::noTokens()
{
    return success(QJsonObject{{QStringLiteral("tokens"), QJsonValue()}});
}

FakeDeployment::Answer FakeDeployment::Answer::successWithoutValue()
{
    return envelope(QJsonObject{{QStringLiteral("status"), QStringLiteral("success")}});
}

FakeDeployment::Answer FakeDeployment::Answer::error(std::optional<QString> message)
{
    QJsonObject object{{QStringLiteral("status"), QStringLiteral("error")}};
    if (message)
        object.insert(QStringLiteral("errorMessage"), *message);
    return envelope(object);
}

FakeDeployment::Answer FakeDeployment::Answer::envelope(const QJsonObject &envelope)
{
    return json(200, envelope);
}

FakeDeployment::Answer FakeDeployment::Answer::json(int status, const QJsonObject &object)
{
    Answer answer;
    answer.status = status;
    answer.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return answer;
}

FakeDeployment::Answer FakeDeployment::Answer::text(int status, QByteArray body, QByteArray contentType)
{
    Answer answer;
    answer.status = status;
    answer.body = std::move(body);
    answer.contentType = std::move(contentType);
    return answer;
}

FakeDeployment::Answer FakeDeployment::Answer::rawBytes(QByteArray bytes)
{
    Answer answer;
    answer.raw = std::move(bytes);
    return answer;
}

FakeDeployment::Answer FakeDeployment::Answer::dropped()
{
    Answer answer;
    answer.drop = true;
    return answer;
}

FakeDeployment::Answer FakeDeployment::Answer::after(std::chrono::milliseconds wait) const
{
    Answer answer = *this;
    answer.delay = wait;
    return answer;
}

FakeDeployment::Answer FakeDeployment::Answer::closingConnection() const
{
    Answer answer = *this;
    answer.closeAfter = true;
    return answer;
}

FakeDeployment::Answer FakeDeployment::Answer::heldBack() const
{
    Answer answer = *this;
    answer.held = true;
    return answer;
}

// ---- FakeDeployment ----

FakeDeployment::FakeDeployment(QObject *parent)
    : QObject(parent)
    , m_server(new LoopbackServer(HttpLimits{maxHeadBytes, maxBodyBytes}, this))
{
    m_server->setRequestHandler([this](LoopbackConnection &connection, const HttpRequest &request) {
        serve(connection, recorded(connection.number(), request));
    });
    connect(m_server, &LoopbackServer::upgradeRequested, this,
            [this](int connection, const HttpRequest &request) {
                m_requests.append(recorded(connection, request));
                Q_EMIT requestReceived(m_requests.last());
            });
    m_server->listen();
}

FakeDeployment::~FakeDeployment()
{
    m_server->close();
}

bool FakeDeployment::isListening() const
{
    return m_server->isListening();
}

quint16 FakeDeployment::port() const
{
    return m_server->port();
}

QUrl FakeDeployment::url() const
{
    // Stopped: the address it had, where connections are now refused.
    if (!m_server->isListening() && m_stoppedPort != 0)
        return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_stoppedPort));
    return m_server->url();
}

void FakeDeployment::answer(const QString &functionPath, Answer answer)
{
    m_standing.insert(functionPath, std::move(answer));
}

void FakeDeployment::answerOnce(const QString &functionPath, Answer answer)
{
    m_once[functionPath].enqueue(std::move(answer));
}

void FakeDeployment::setHandler(Handler handler)
{
    m_handler = std::move(handler);
}

void FakeDeployment::setUpgradeHandler(UpgradeHandler handler)
{
    m_server->setUpgradeHandler([handler = std::move(handler)](QTcpSocket *socket, const HttpRequest &) {
        const QByteArray pending = socket->peek(socket->bytesAvailable());
        handler(socket, pending.left(pending.indexOf("\r\n\r\n") + 4));
    });
}

void FakeDeployment::acceptWebSockets(const QByteArray &path, LoopbackServer::WebSocketHandler handler)
{
    m_server->acceptWebSockets(path, std::move(handler));
}

QList<FakeDeployment::Request> FakeDeployment::requestsFor(const QString &functionPath) const
{
    QList<Request> result;
    for (const Request &request : m_requests)
        if (request.functionPath() == functionPath)
            result.append(request);
    return result;
}

int FakeDeployment::count(const QString &functionPath) const
{
    return int(requestsFor(functionPath).size());
}

int FakeDeployment::connectionsAccepted() const
{
    return m_server->connectionsAccepted();
}

void FakeDeployment::closeAllConnections()
{
    m_server->abortConnections();
}

void FakeDeployment::stopListening()
{
    if (m_server->isListening())
        m_stoppedPort = m_server->port();
    m_server->close();
}

bool FakeDeployment::resumeListening()
{
    return m_stoppedPort != 0 && m_server->listen(QHostAddress::LocalHost, m_stoppedPort);
}

int FakeDeployment::releaseHeld()
{
    const QList<HeldAnswer> held = std::exchange(m_held, {});
    for (const HeldAnswer &entry : held)
        if (entry.connection)
            respondTo(*entry.connection, entry.request, entry.answer);
    return int(held.size());
}

int FakeDeployment::heldCount() const
{
    return int(m_held.size());
}

void FakeDeployment::serve(LoopbackConnection &connection, const Request &request)
{
    m_requests.append(request);
    Q_EMIT requestReceived(request);
    Answer answer = answerFor(request);
    if (answer.held) {
        answer.held = false;
        m_held.append(HeldAnswer{&connection, request, answer});
    } else if (answer.delay.count() > 0) {
        QTimer::singleShot(answer.delay, &connection,
                           [this, &connection, request, answer] { respondTo(connection, request, answer); });
    } else {
        respondTo(connection, request, answer);
    }
}

FakeDeployment::Answer FakeDeployment::answerFor(const Request &request)
{
    if (m_handler) {
        if (std::optional<Answer> answer = m_handler(request))
            return *answer;
    }
    if (request.method != "POST" || !request.path.startsWith("/api/"))
        return Answer::text(404, "Not found: " + request.method + ' ' + request.path);
    const QString functionPath = request.functionPath();
    auto once = m_once.find(functionPath);
    if (once != m_once.end() && !once->isEmpty())
        return once->dequeue();
    auto standing = m_standing.constFind(functionPath);
    if (standing != m_standing.constEnd())
        return *standing;
    return Answer::text(404, "No answer scripted for " + functionPath.toUtf8());
}

void FakeDeployment::respondTo(LoopbackConnection &connection, const Request &request, const Answer &answer)
{
    if (answer.drop) {
        connection.abort();
    } else if (answer.raw) {
        // Framing of raw bytes is the test's business; closing marks their end.
        connection.write(*answer.raw);
        connection.close();
    } else {
        connection.respond(HttpResponse{answer.status, answer.contentType, answer.body, answer.extraHeaders,
                                        answer.closeAfter});
    }
    Q_EMIT answered(request);
}
