#include "FakeSyncEndpoint.h"
#include "FakeDeployment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>
#include <QWebSocket>

namespace {

constexpr int timeout = 20000;

QString compact(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QJsonObject add(int queryId)
{
    return QJsonObject{{"type", "Add"},
                       {"queryId", queryId},
                       {"udfPath", "decks:listDecks"},
                       {"args", QJsonArray{QJsonObject()}},
                       {"journal", QJsonValue()}};
}

QString querySet(int base, int next, const QJsonArray &modifications)
{
    return compact(QJsonObject{{"type", "ModifyQuerySet"},
                               {"baseVersion", base},
                               {"newVersion", next},
                               {"modifications", modifications}});
}

// A bare socket speaking to the endpoint, to see how it treats clients that break its rules.
struct RawClient {
    explicit RawClient(const QUrl &url) { socket.open(url); }
    bool waitOpen()
    {
        return QTest::qWaitFor([this] { return socket.state() == QAbstractSocket::ConnectedState; }, timeout);
    }
    bool waitClosed()
    {
        return QTest::qWaitFor([this] { return closed.size() > 0; }, timeout);
    }
    QWebSocket socket;
    QSignalSpy closed{&socket, &QWebSocket::disconnected};
    QSignalSpy messages{&socket, &QWebSocket::textMessageReceived};
    QString lastMessage() const
    {
        return messages.isEmpty() ? QString() : messages.last().first().toString();
    }
};

} // namespace

// The endpoint must hold clients to the server's rules, or the sync client's
// tests would pass against a server more forgiving than the real one.
class FakeSyncEndpointTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sharesTheDeploymentsPort();
    void duplicateAddClosesWith1011();
    void querySetMustFollowTheCurrentVersion();
    void unknownMessageGetsFatalErrorAndClose();
    void identityVersionAndTokensAreChecked();
};

void FakeSyncEndpointTest::sharesTheDeploymentsPort()
{
    FakeDeployment deployment;
    FakeSyncEndpoint endpoint;
    endpoint.attachTo(deployment);
    RawClient client(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/sync").arg(deployment.port())));
    QVERIFY(client.waitOpen());
    QTRY_COMPARE_WITH_TIMEOUT(endpoint.liveConnectionCount(), 1, timeout);

    RawClient elsewhere(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/other").arg(deployment.port())));
    QVERIFY(elsewhere.waitClosed());
    QCOMPARE(endpoint.connectionsOpened(), 1);
}

void FakeSyncEndpointTest::duplicateAddClosesWith1011()
{
    FakeSyncEndpoint endpoint;
    QVERIFY(endpoint.listen());
    RawClient client(endpoint.url());
    QVERIFY(client.waitOpen());
    client.socket.sendTextMessage(querySet(0, 1, {add(0)}));
    client.socket.sendTextMessage(querySet(1, 2, {add(0), add(1)})); // the whole set again
    QVERIFY(client.waitClosed());
    QCOMPARE(client.socket.closeCode(), QWebSocketProtocol::CloseCodeBadOperation);
    QCOMPARE(endpoint.violations(), QStringList({"query 0 added twice"}));
}

void FakeSyncEndpointTest::querySetMustFollowTheCurrentVersion()
{
    FakeSyncEndpoint endpoint;
    QVERIFY(endpoint.listen());
    endpoint.setQueryResult(QStringLiteral("decks:listDecks"), QJsonArray());
    RawClient client(endpoint.url());
    QVERIFY(client.waitOpen());
    client.socket.sendTextMessage(querySet(0, 1, {add(0)}));
    QTRY_COMPARE_WITH_TIMEOUT(client.messages.size(), 1, timeout); // the result of the new query
    QCOMPARE(QJsonDocument::fromJson(client.lastMessage().toUtf8()).object().value("type").toString(),
             QStringLiteral("Transition"));
    client.socket.sendTextMessage(querySet(0, 1, {add(1)})); // stale base version
    QVERIFY(client.waitClosed());
    QCOMPARE(QJsonDocument::fromJson(client.lastMessage().toUtf8()).object().value("type").toString(),
             QStringLiteral("FatalError"));
    QCOMPARE(endpoint.violations().size(), 1);
}

void FakeSyncEndpointTest::unknownMessageGetsFatalErrorAndClose()
{
    FakeSyncEndpoint endpoint;
    QVERIFY(endpoint.listen());
    RawClient client(endpoint.url());
    QVERIFY(client.waitOpen());
    client.socket.sendTextMessage(QStringLiteral("{\"type\":\"Pong\"}"));
    QVERIFY(client.waitClosed());
    QCOMPARE(QJsonDocument::fromJson(client.lastMessage().toUtf8()).object().value("type").toString(),
             QStringLiteral("FatalError"));
    QCOMPARE(endpoint.violations(), QStringList({"unknown client message type Pong"}));
}

void FakeSyncEndpointTest::identityVersionAndTokensAreChecked()
{
    FakeSyncEndpoint endpoint;
    QVERIFY(endpoint.listen());
    endpoint.setAcceptedTokens({QStringLiteral("good")});
    auto authenticate = [](const QString &token, int base) {
        return compact(QJsonObject{
            {"type", "Authenticate"}, {"tokenType", "User"}, {"value", token}, {"baseVersion", base}});
    };

    RawClient accepted(endpoint.url());
    QVERIFY(accepted.waitOpen());
    accepted.socket.sendTextMessage(authenticate("good", 0));
    accepted.socket.sendTextMessage(authenticate("good", 0)); // must now start from 1
    QVERIFY(accepted.waitClosed());
    QCOMPARE(endpoint.violations(), QStringList({"identity base version 0 does not match 1"}));

    RawClient rejected(endpoint.url());
    QVERIFY(rejected.waitOpen());
    rejected.socket.sendTextMessage(authenticate("bad", 0));
    QVERIFY(rejected.waitClosed());
    QCOMPARE(QJsonDocument::fromJson(rejected.lastMessage().toUtf8()).object().value("type").toString(),
             QStringLiteral("AuthError"));
}

QTEST_GUILESS_MAIN(FakeSyncEndpointTest)
#include "FakeSyncEndpointTest.moc"
