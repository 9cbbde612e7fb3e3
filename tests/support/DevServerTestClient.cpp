#include "DevServerTestClient.h"

#include "DevAuth.h"
#include "DevLog.h"
#include "DevStore.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>

DevServerFixture::DevServerFixture()
{
    // A fixed, recent moment: every expiry in a test is reached by moving the clock.
    clock.setManual(QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::UTC).toMSecsSinceEpoch());
    config.port = 0;
    config.dataPath = dataPath();
    setDevLogSink([this](const QString &line) { logLines.append(line); });
}

DevServerFixture::~DevServerFixture()
{
    server.reset();
    setDevLogSink({});
}

bool DevServerFixture::start()
{
    server = std::make_unique<DevServer>(config, &clock);
    QString error;
    if (!server->start(&error)) {
        qWarning("devserver did not start: %s", qPrintable(error));
        return false;
    }
    return true;
}

bool DevServerFixture::restart()
{
    server.reset();
    config.port = 0;
    return start();
}

QString DevServerFixture::demoUserId()
{
    return server->store().state().userByEmail(QString::fromLatin1(DevStore::demoEmail))->id;
}

QString DevServerFixture::freshLinkCode()
{
    return server->auth().issueLinkCode(demoUserId());
}

CallResult HttpCaller::call(const QString &kind, const QString &path, const QJsonObject &args,
                            const std::optional<QString> &token)
{
    QNetworkRequest request(m_base.resolved(QUrl(QStringLiteral("/api/") + kind)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    if (token)
        request.setRawHeader("Authorization", "Bearer " + token->toUtf8());
    const QJsonObject body{{"path", path}, {"args", args}, {"format", "json"}};
    std::unique_ptr<QNetworkReply> reply(
        m_nam.post(request, QJsonDocument(body).toJson(QJsonDocument::Compact)));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!reply->isFinished() && !finished.wait(20000))
        return {};
    return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
            QJsonDocument::fromJson(reply->readAll()).object()};
}

CallResult HttpCaller::rawPost(const QString &route, const QByteArray &body)
{
    QNetworkRequest request(m_base.resolved(QUrl(route)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    std::unique_ptr<QNetworkReply> reply(m_nam.post(request, body));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!reply->isFinished() && !finished.wait(20000))
        return {};
    return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
            QJsonDocument::fromJson(reply->readAll()).object()};
}

std::pair<QString, QString> HttpCaller::signIn(DevServerFixture &fixture)
{
    const CallResult r = call(QStringLiteral("action"), QStringLiteral("users:redeemMacLinkCode"),
                              {{"code", fixture.freshLinkCode()}});
    const QJsonObject pair = r.value().toObject();
    return {pair.value(QStringLiteral("token")).toString(),
            pair.value(QStringLiteral("refreshToken")).toString()};
}

SyncTestClient::SyncTestClient(QObject *parent)
    : QObject(parent)
{
    connect(&m_socket, &QWebSocket::textMessageReceived, this, [this](const QString &text) {
        m_received.append(QJsonDocument::fromJson(text.toUtf8()).object());
    });
    connect(&m_socket, &QWebSocket::disconnected, this, [this] {
        m_closed = true;
        m_closeCode = int(m_socket.closeCode());
    });
}

bool SyncTestClient::open(const QUrl &base)
{
    QUrl url = base;
    url.setScheme(QStringLiteral("ws"));
    url.setPath(QStringLiteral("/api/sync"));
    QSignalSpy connected(&m_socket, &QWebSocket::connected);
    m_socket.open(url);
    return connected.wait(20000);
}

void SyncTestClient::send(const QJsonObject &message)
{
    m_socket.sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
}

void SyncTestClient::sendConnect(int connectionCount)
{
    send({{"type", "Connect"},
          {"sessionId", "6F1C7E2A-1B7C-4C39-9A2E-3D1F0B5E8C11"},
          {"connectionCount", connectionCount},
          {"lastCloseReason", connectionCount == 0 ? QJsonValue("InitialConnect") : QJsonValue()},
          {"maxObservedTimestamp", QJsonValue()},
          {"clientTs", double(QDateTime::currentMSecsSinceEpoch())}});
}

void SyncTestClient::sendAuthenticate(qint64 baseVersion, const QString &token)
{
    send({{"type", "Authenticate"},
          {"tokenType", "User"},
          {"value", token},
          {"baseVersion", double(baseVersion)}});
}

void SyncTestClient::sendAdd(qint64 baseVersion, qint64 newVersion,
                             const QList<std::pair<int, QString>> &queries)
{
    QJsonArray modifications;
    for (const auto &[id, path] : queries)
        modifications.append(QJsonObject{{"type", "Add"},
                                         {"queryId", id},
                                         {"udfPath", path},
                                         {"args", QJsonArray{QJsonObject{}}},
                                         {"journal", QJsonValue()}});
    send({{"type", "ModifyQuerySet"},
          {"baseVersion", double(baseVersion)},
          {"newVersion", double(newVersion)},
          {"modifications", modifications}});
}

std::optional<QJsonObject> SyncTestClient::next(int timeoutMs)
{
    if (m_taken >= m_received.size() &&
        !QTest::qWaitFor([&] { return m_taken < m_received.size(); }, timeoutMs))
        return std::nullopt;
    return m_received.at(m_taken++);
}

std::optional<QJsonObject> SyncTestClient::nextOfType(const QString &type, int timeoutMs)
{
    while (auto message = next(timeoutMs))
        if (message->value(QStringLiteral("type")).toString() == type)
            return message;
    return std::nullopt;
}

bool SyncTestClient::waitClosed(int timeoutMs)
{
    return m_closed || QTest::qWaitFor([&] { return m_closed; }, timeoutMs);
}
