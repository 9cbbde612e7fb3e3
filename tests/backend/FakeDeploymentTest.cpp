// The fake deployment itself: HTTP framing as a real client may send it, and
// the hand-over of WebSocket upgrades.

#include "FakeDeployment.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>
#include <QWebSocketServer>

using Answer = FakeDeployment::Answer;

namespace {

QByteArray post(const QByteArray &body, const QByteArray &extraHeaders = {})
{
    return "POST /api/query HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
}

} // namespace

class FakeDeploymentTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void requestsArrivingInPiecesAndBackToBack()
    {
        FakeDeployment fake;
        fake.answer(QStringLiteral("a:b"), Answer::success(1));
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, fake.port());
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::ConnectedState, 10000);

        const QByteArray one = post(R"({"path":"a:b","args":{},"format":"json"})");
        for (qsizetype i = 0; i < one.size(); i += 7) {
            socket.write(one.mid(i, 7));
            socket.flush();
            QTest::qWait(1);
        }
        QTRY_COMPARE_WITH_TIMEOUT(fake.requests().size(), 1, 10000);
        socket.write(one + one); // two in one write
        QTRY_COMPARE_WITH_TIMEOUT(fake.requests().size(), 3, 10000);

        QByteArray received;
        QTRY_VERIFY_WITH_TIMEOUT((received += socket.readAll()).count("HTTP/1.1 200 OK") == 3, 10000);
        QCOMPARE(fake.connectionsAccepted(), 1);
        for (const auto &request : fake.requests()) {
            QCOMPARE(request.functionPath(), QStringLiteral("a:b"));
            QCOMPARE(request.header("content-type"), QByteArray("application/json"));
            QCOMPARE(request.connection, 1);
        }
    }

    void malformedRequestsAreRefusedAndClosed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("status");
        QTest::newRow("bad request line") << QByteArray("HELLO\r\n\r\n") << QByteArray("400");
        QTest::newRow("bad header") << QByteArray("POST /api/query HTTP/1.1\r\nNoColon\r\n\r\n")
                                    << QByteArray("400");
        QTest::newRow("bad length") << QByteArray("POST /api/query HTTP/1.1\r\nContent-Length: -5\r\n\r\n")
                                    << QByteArray("400");
        QTest::newRow("huge length")
            << QByteArray("POST /api/query HTTP/1.1\r\nContent-Length: 999999999999\r\n\r\n")
            << QByteArray("413");
        QTest::newRow("chunked") << QByteArray(
                                        "POST /api/query HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n")
                                 << QByteArray("501");
        QTest::newRow("endless head")
            << QByteArray(FakeDeployment::maxHeadBytes + 10, 'a') << QByteArray("431");
        QTest::newRow("unknown function") << post(R"({"path":"nope:nope"})") << QByteArray("404");
        QTest::newRow("upgrade without endpoint")
            << QByteArray("GET /api/sync HTTP/1.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n\r\n")
            << QByteArray("404");
    }

    void malformedRequestsAreRefusedAndClosed()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, status);
        FakeDeployment fake;
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, fake.port());
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::ConnectedState, 10000);
        socket.write(bytes);
        QByteArray received;
        QTRY_VERIFY_WITH_TIMEOUT((received += socket.readAll()).contains("\r\n\r\n"), 10000);
        QVERIFY2(received.startsWith(QByteArray("HTTP/1.1 " + status)), received.constData());
        if (status != "404" || bytes.startsWith("GET"))
            QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 10000);
    }

    void connectionCloseIsHonoured()
    {
        FakeDeployment fake;
        fake.answer(QStringLiteral("a:b"), Answer::success(1));
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, fake.port());
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::ConnectedState, 10000);
        socket.write(post(R"({"path":"a:b"})", "Connection: close\r\n"));
        QByteArray received;
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 10000);
        received = socket.readAll();
        QVERIFY(received.contains("Connection: close"));
        QVERIFY(received.endsWith(R"({"status":"success","value":1})"));
    }

    void upgradeGoesToAWebSocketServer()
    {
        FakeDeployment fake;
        QWebSocketServer server(QStringLiteral("fake"), QWebSocketServer::NonSecureMode);
        QList<QWebSocket *> accepted;
        connect(&server, &QWebSocketServer::newConnection, this, [&] {
            while (QWebSocket *socket = server.nextPendingConnection()) {
                accepted.append(socket);
                connect(socket, &QWebSocket::textMessageReceived, socket, [socket](const QString &text) {
                    socket->sendTextMessage(QStringLiteral("echo:") + text);
                });
            }
        });
        QByteArray seenHead;
        fake.setUpgradeHandler([&](QTcpSocket *socket, const QByteArray &head) {
            seenHead = head;
            server.handleConnection(socket);
        });

        QWebSocket client;
        QSignalSpy connected(&client, &QWebSocket::connected);
        QSignalSpy messages(&client, &QWebSocket::textMessageReceived);
        QUrl url = fake.url();
        url.setScheme(QStringLiteral("ws"));
        url.setPath(QStringLiteral("/api/sync"));
        client.open(url);
        QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 1, 10000);
        client.sendTextMessage(QStringLiteral("hi"));
        QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 1, 10000);
        QCOMPARE(messages.first().first().toString(), QStringLiteral("echo:hi"));
        QVERIFY(seenHead.startsWith("GET /api/sync HTTP/1.1\r\n"));
        QCOMPARE(fake.requests().size(), 1);
        QCOMPARE(fake.requests().first().path, QByteArray("/api/sync"));
        client.close();
        qDeleteAll(accepted);
    }
};

QTEST_GUILESS_MAIN(FakeDeploymentTest)
#include "FakeDeploymentTest.moc"
