#include "FakeDeployment.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 413:
        return "Content Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

bool isToken(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (char c : text)
        if (c <= ' ' || c >= 127 || c == ':')
            return false;
    return true;
}

std::optional<qint64> parseLength(const QByteArray &text)
{
    if (text.isEmpty() || text.size() > 15)
        return std::nullopt;
    qint64 value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

// ---- Request ----

QByteArray FakeDeployment::Request::header(const QByteArray &name) const
{
    for (const Header &header : headers)
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    return {};
}

bool FakeDeployment::Request::hasHeader(const QByteArray &name) const
{
    for (const Header &header : headers)
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

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
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &FakeDeployment::accept);
    m_server->listen(QHostAddress::LocalHost, 0);
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
    return m_server->serverPort();
}

QUrl FakeDeployment::url() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:") + QString::number(port()));
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
    m_upgradeHandler = std::move(handler);
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

void FakeDeployment::closeAllConnections()
{
    const QList<QTcpSocket *> sockets = m_connections.keys();
    for (QTcpSocket *socket : sockets) {
        forget(socket);
        socket->abort();
    }
}

void FakeDeployment::stopListening()
{
    if (m_server->isListening())
        m_stoppedPort = m_server->serverPort();
    m_server->close();
}

bool FakeDeployment::resumeListening()
{
    return m_stoppedPort != 0 && m_server->listen(QHostAddress::LocalHost, m_stoppedPort);
}

int FakeDeployment::releaseHeld()
{
    const QList<HeldAnswer> held = std::exchange(m_held, {});
    for (const HeldAnswer &entry : held) {
        QTcpSocket *socket = entry.socket.data();
        if (!socket || !m_connections.contains(socket))
            continue;
        m_connections[socket].busy = false;
        respondTo(socket, entry.request, entry.answer, entry.keepAlive);
        readFrom(socket);
    }
    return int(held.size());
}

int FakeDeployment::heldCount() const
{
    return int(m_held.size());
}

void FakeDeployment::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_connections.insert(socket, Connection{++m_connectionsAccepted, false});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { forget(socket); });
        readFrom(socket);
    }
}

void FakeDeployment::forget(QTcpSocket *socket)
{
    if (m_connections.remove(socket)) {
        socket->disconnect(this);
        socket->deleteLater();
    }
}

void FakeDeployment::closeAfterWriting(QTcpSocket *socket)
{
    // The socket goes once the peer has everything we wrote.
    m_connections.remove(socket);
    socket->disconnect(this);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->disconnectFromHost();
}

void FakeDeployment::refuse(QTcpSocket *socket, int status, const QByteArray &reason)
{
    respond(socket, Answer::text(status, reason).closingConnection(), false);
}

void FakeDeployment::readFrom(QTcpSocket *socket)
{
    // Requests stay in the socket's buffer until complete: an upgrade request
    // must reach its handler unread.
    while (m_connections.contains(socket) && !m_connections.value(socket).busy) {
        const QByteArray available = socket->peek(socket->bytesAvailable());
        const qsizetype headEnd = available.indexOf("\r\n\r\n");
        if (headEnd < 0) {
            if (available.size() > maxHeadBytes)
                refuse(socket, 431, "request head too large");
            return;
        }
        if (headEnd > maxHeadBytes) {
            refuse(socket, 431, "request head too large");
            return;
        }

        const QByteArray head = available.left(headEnd);
        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        if (requestLine.size() != 3 || !isToken(requestLine[0]) || !requestLine[1].startsWith('/') ||
            !requestLine[2].startsWith("HTTP/1.")) {
            refuse(socket, 400, "malformed request line");
            return;
        }

        Request request;
        request.connection = m_connections.value(socket).number;
        request.method = requestLine[0];
        request.target = requestLine[1];
        const qsizetype query = request.target.indexOf('?');
        request.path = query < 0 ? request.target : request.target.left(query);
        bool headersValid = true;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0 || !isToken(line.left(colon))) {
                headersValid = false;
                break;
            }
            request.headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
        }
        if (!headersValid) {
            refuse(socket, 400, "malformed header");
            return;
        }

        if (request.method == "GET" && request.header("Upgrade").toLower().contains("websocket")) {
            m_requests.append(request);
            Q_EMIT requestReceived(request);
            if (!m_upgradeHandler) {
                refuse(socket, 404, "no WebSocket endpoint here");
                return;
            }
            m_connections.remove(socket);
            socket->disconnect(this);
            m_upgradeHandler(socket, available.left(headEnd + 4));
            return;
        }

        if (request.hasHeader("Transfer-Encoding")) {
            refuse(socket, 501, "chunked request bodies are not supported");
            return;
        }
        qint64 length = 0;
        if (request.hasHeader("Content-Length")) {
            const auto parsed = parseLength(request.header("Content-Length"));
            if (!parsed) {
                refuse(socket, 400, "bad Content-Length");
                return;
            }
            length = *parsed;
        }
        if (length > maxBodyBytes) {
            refuse(socket, 413, "request body too large");
            return;
        }
        if (available.size() < headEnd + 4 + length)
            return; // wait for the rest of the body

        socket->read(headEnd + 4);
        request.body = socket->read(length);

        const QByteArray connectionHeader = request.header("Connection").toLower();
        const bool keepAlive = requestLine[2] == "HTTP/1.1" ? !connectionHeader.contains("close")
                                                            : connectionHeader.contains("keep-alive");

        m_requests.append(request);
        Q_EMIT requestReceived(request);
        Answer answer = answerFor(request);
        if (answer.held) {
            answer.held = false;
            m_connections[socket].busy = true;
            m_held.append(HeldAnswer{socket, request, answer, keepAlive});
            return;
        }
        if (answer.delay.count() > 0) {
            m_connections[socket].busy = true;
            QTimer::singleShot(answer.delay, socket, [this, socket, request, answer, keepAlive] {
                if (!m_connections.contains(socket))
                    return;
                m_connections[socket].busy = false;
                respondTo(socket, request, answer, keepAlive);
                readFrom(socket);
            });
            return;
        }
        respondTo(socket, request, answer, keepAlive);
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

void FakeDeployment::respondTo(QTcpSocket *socket, const Request &request, const Answer &answer,
                               bool keepAlive)
{
    respond(socket, answer, keepAlive);
    Q_EMIT answered(request);
}

void FakeDeployment::respond(QTcpSocket *socket, const Answer &answer, bool keepAlive)
{
    if (answer.drop) {
        forget(socket);
        socket->abort();
        return;
    }
    if (answer.raw) {
        // Framing of raw bytes is the test's business; closing marks their end.
        socket->write(*answer.raw);
        closeAfterWriting(socket);
        return;
    }
    const bool close = !keepAlive || answer.closeAfter;
    QByteArray response =
        "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + reasonPhrase(answer.status) + "\r\n";
    if (!answer.contentType.isEmpty() && answer.status != 204)
        response += "Content-Type: " + answer.contentType + "\r\n";
    for (const Header &header : answer.extraHeaders)
        response += header.first + ": " + header.second + "\r\n";
    if (answer.status != 204)
        response += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    response += close ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
    response += "\r\n";
    if (answer.status != 204)
        response += answer.body;
    socket->write(response);
    if (close)
        closeAfterWriting(socket);
}
