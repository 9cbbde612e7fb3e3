#include "SyncTestRig.h"
#include "TaskOutcome.h"

#include "backend/ConvexError.h"
#include "sync/TimerSleeper.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>

namespace {

QJsonObject updated(const QJsonValue &queryId, const std::optional<QJsonValue> &value)
{
    QJsonObject entry{{QStringLiteral("type"), QStringLiteral("QueryUpdated")},
                      {QStringLiteral("queryId"), queryId}};
    if (value)
        entry.insert(QStringLiteral("value"), *value);
    return entry;
}

QStringList keys(const QJsonObject &object)
{
    QStringList names = object.keys();
    names.sort();
    return names;
}

// Records what the callbacks of two subscriptions received, in arrival order.
struct Received {
    QStringList events;
    std::function<void(std::optional<Deck>)> deck(const QString &label)
    {
        return [this, label](std::optional<Deck> deck) {
            events.append(label + QLatin1Char('=') + (deck ? deck->name : QStringLiteral("absent")));
        };
    }
    std::function<void(std::optional<QList<Deck>>)> list(const QString &label)
    {
        return [this, label](std::optional<QList<Deck>> decks) {
            QStringList names;
            if (decks)
                for (const Deck &deck : *decks)
                    names.append(deck.name);
            events.append(label + QLatin1Char('=') +
                          (decks ? QLatin1Char('[') + names.join(QLatin1Char(',')) + QLatin1Char(']')
                                 : QStringLiteral("absent")));
        };
    }
};

// A loopback port on which nothing listens.
quint16 refusingPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

// A sync endpoint written byte by byte, for answers the real server never
// gives: a redirect of the upgrade, or one enormous frame. The frame is written
// as the socket drains, so this process never holds it.
class RawSyncEndpoint : public QObject {
public:
    explicit RawSyncEndpoint(QByteArray redirectTo = {}, qint64 frameSize = 0)
        : m_redirectTo(std::move(redirectTo))
        , m_frameSize(frameSize)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                ++connections;
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readHead(socket); });
                connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { pump(socket); });
                connect(socket, &QTcpSocket::disconnected, this, [this] { ++closed; });
            }
        });
    }
    QUrl url() const { return QUrl(QStringLiteral("ws://127.0.0.1:%1/api/sync").arg(m_server.serverPort())); }

    int connections = 0;
    int closed = 0;
    qint64 frameBytesWritten = 0;

private:
    void readHead(QTcpSocket *socket)
    {
        m_head += socket->readAll();
        if (m_answered || !m_head.contains("\r\n\r\n"))
            return;
        m_answered = true;
        if (!m_redirectTo.isEmpty()) {
            socket->write("HTTP/1.1 307 Temporary Redirect\r\nLocation: " + m_redirectTo +
                          "\r\nContent-Length: 0\r\n\r\n");
            socket->disconnectFromHost();
            return;
        }
        QByteArray key;
        for (const QByteArray &line : m_head.split('\n'))
            if (line.toLower().startsWith("sec-websocket-key:"))
                key = line.mid(line.indexOf(':') + 1).trimmed();
        const QByteArray accept =
            QCryptographicHash::hash(QByteArray(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11"),
                                     QCryptographicHash::Sha1)
                .toBase64();
        socket->write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                      "Sec-WebSocket-Accept: " +
                      accept + "\r\n\r\n");
        // A final binary frame, unmasked, with a 64-bit length.
        QByteArray header("\x82\x7f", 2);
        for (int shift = 56; shift >= 0; shift -= 8)
            header.append(char((m_frameSize >> shift) & 0xff));
        socket->write(header);
        pump(socket);
    }

    void pump(QTcpSocket *socket)
    {
        static const QByteArray chunk(1024 * 1024, '{');
        while (m_answered && m_redirectTo.isEmpty() && frameBytesWritten < m_frameSize &&
               socket->state() == QAbstractSocket::ConnectedState &&
               socket->bytesToWrite() < 4 * chunk.size()) {
            const qint64 n = std::min<qint64>(chunk.size(), m_frameSize - frameBytesWritten);
            socket->write(chunk.constData(), n);
            frameBytesWritten += n;
        }
    }

    QTcpServer m_server;
    QByteArray m_redirectTo;
    qint64 m_frameSize;
    QByteArray m_head;
    bool m_answered = false;
};

// The peak resident memory of this process, in KiB; resetPeakMemory() starts a new peak.
qint64 peakMemoryKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

bool resetPeakMemory()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

// The wait the client sleeps before its next attempt (not the silence watchdog).
std::shared_ptr<PendingSleep> reconnectWait(const ManualSleeper &sleeper)
{
    for (const auto &wait : sleeper.running())
        if (wait->duration() != ConvexSubscriptionClient::defaultSilenceLimit)
            return wait;
    return nullptr;
}

std::shared_ptr<PendingSleep> silenceWait(const ManualSleeper &sleeper)
{
    for (const auto &wait : sleeper.running())
        if (wait->duration() == ConvexSubscriptionClient::defaultSilenceLimit)
            return wait;
    return nullptr;
}

} // namespace

class ConvexSubscriptionClientTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refusedDeploymentIsNeverContacted();
    void openingFramesCarryEverySubscription();
    void signedOutConnectionSkipsAuthenticate();
    void subscriptionWhileConnectedAddsOnlyItself();
    void receiveErrorReconnectsWithReasonAndFreshQuerySet();
    void backOffDoublesAndOnlyTheLastWaitIsSlept_data();
    void backOffDoublesAndOnlyTheLastWaitIsSlept();
    void backOffRestartsOnlyOnceTheServerAccepts();
    void silentConnectionIsMadeAgain();
    void messagesKeepTheConnectionOnRealTimers();
    void oversizedFrameIsRefusedWithoutBufferingIt();
    void redirectedUpgradeIsNotFollowed();
    void startWhileWaitingReconnectsNow();
    void silentServerTimesOutTheHandshake();
    void transitionsDeliverUsableUpdatesInOrder();
    void binaryFramesAndGarbageAreHandledSafely();
    void jsonPingIsNotAnswered();
    void authErrorRefreshesAndTheNewTokenReachesTheServer();
    void authErrorOnAKeptConnectionCountsIdentityVersions();
    void authErrorWithoutRefreshTokenReconnects();
    void fatalErrorReconnects();
    void accountChangeSwitchesIdentityAndStopsOldResults();
};

void ConvexSubscriptionClientTest::refusedDeploymentIsNeverContacted()
{
    // The HTTP client refuses an address with a query; the sync connection
    // must not send the token to it either, even though the socket would open.
    SyncTestRig rig;
    QUrl refused = rig.deployment.url();
    refused.setQuery(QStringLiteral("x=1"));
    ConvexClient http(refused);
    http.setTokens(QStringLiteral("access-1"), QStringLiteral("refresh-1"));
    ConvexSubscriptionClient client(DeploymentUrl::syncUrl(rig.deployment.url()), http,
                                    std::make_unique<ImmediateSleeper>(), std::make_unique<FixedClock>());
    QVERIFY(awaitTask(client.startIfNeeded()).succeeded());
    QVERIFY(!client.isConnecting());
    QVERIFY(!client.isConnected());
    // The only sign of the refusal is its diagnostic, said once.
    QCOMPARE(rig.linesStartingWith(QStringLiteral("[Convex WS] Connect failed: The deployment address")), 1);
    QCOMPARE(rig.endpoint.connectionsOpened(), 0);
    QCOMPARE(rig.deployment.connectionsAccepted(), 0);
}

void ConvexSubscriptionClientTest::openingFramesCarryEverySubscription()
{
    SyncTestRig rig;
    rig.http->setTokens(QStringLiteral("access-1"), QStringLiteral("refresh-1"));
    Received received;
    QCOMPARE(awaitTask(rig.client->subscribe<QList<Deck>>(QStringLiteral("decks:listDecks"), {},
                                                          received.list(QStringLiteral("list"))))
                 .value,
             0);
    QCOMPARE(awaitTask(rig.client->subscribe<Deck>(QStringLiteral("decks:getActiveDeck"),
                                                   QJsonObject{{QStringLiteral("k"), 1}},
                                                   received.deck(QStringLiteral("active"))))
                 .value,
             1);
    QVERIFY(rig.endpoint.frames().isEmpty()); // nothing goes out before a connection

    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());
    QVERIFY(rig.client->isConnected());
    QVERIFY(!rig.client->isConnecting());
    QCOMPARE(rig.client->queryVersion(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.frames().size(), 3, timeout);

    const auto frames = rig.endpoint.frames();
    const QString sessionId = rig.client->sessionId();
    QVERIFY(
        QRegularExpression(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))
            .match(sessionId)
            .hasMatch());

    const QJsonObject connect = frames[0].message;
    QCOMPARE(keys(connect), QStringList({"clientTs", "connectionCount", "lastCloseReason",
                                         "maxObservedTimestamp", "sessionId", "type"}));
    QCOMPARE(connect.value("type").toString(), QStringLiteral("Connect"));
    QCOMPARE(connect.value("sessionId").toString(), sessionId);
    QCOMPARE(connect.value("connectionCount").toInteger(), 0);
    QCOMPARE(connect.value("lastCloseReason").toString(), QStringLiteral("InitialConnect"));
    QVERIFY(connect.value("maxObservedTimestamp").isNull());
    QCOMPARE(connect.value("clientTs").toInteger(), 1765000000123);

    QCOMPARE(
        frames[1].message,
        QJsonObject(
            {{"type", "Authenticate"}, {"tokenType", "User"}, {"value", "access-1"}, {"baseVersion", 0}}));
    const QJsonArray adds{
        QJsonObject{{"type", "Add"},
                    {"queryId", 0},
                    {"udfPath", "decks:listDecks"},
                    {"args", QJsonArray{QJsonObject()}},
                    {"journal", QJsonValue()}},
        QJsonObject{{"type", "Add"},
                    {"queryId", 1},
                    {"udfPath", "decks:getActiveDeck"},
                    {"args", QJsonArray{QJsonObject{{"k", 1}}}},
                    {"journal", QJsonValue()}},
    };
    QCOMPARE(
        frames[2].message,
        QJsonObject(
            {{"type", "ModifyQuerySet"}, {"baseVersion", 0}, {"newVersion", 1}, {"modifications", adds}}));
    // Compact text: what was sent is exactly the compact serialisation.
    for (const auto &frame : frames)
        QCOMPARE(frame.text, QString::fromUtf8(QJsonDocument(frame.message).toJson(QJsonDocument::Compact)));

    QVERIFY(!rig.syncLines().isEmpty());
    for (const QString &line : rig.log.allLines())
        QVERIFY2(!line.contains(QStringLiteral("access-1")), qPrintable(line));
    // Already connected: nothing more happens.
    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());
    QCOMPARE(rig.endpoint.connectionsOpened(), 1);
    QVERIFY(rig.endpoint.violations().isEmpty());
}

void ConvexSubscriptionClientTest::signedOutConnectionSkipsAuthenticate()
{
    SyncTestRig rig;
    awaitTask(
        rig.client->subscribe<Deck>(QStringLiteral("decks:getActiveDeck"), {}, [](std::optional<Deck>) {}));
    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.frames().size(), 2, timeout);
    QCOMPARE(rig.endpoint.frames()[0].type(), QStringLiteral("Connect"));
    QCOMPARE(rig.endpoint.frames()[1].type(), QStringLiteral("ModifyQuerySet"));
    QVERIFY(rig.client->isConnected());
}

void ConvexSubscriptionClientTest::subscriptionWhileConnectedAddsOnlyItself()
{
    SyncTestRig rig;
    rig.endpoint.setQueryResult(QStringLiteral("decks:getActiveDeck"), deckJson("d2", "Second"));
    Received received;
    awaitTask(
        rig.client->subscribe<QList<Deck>>(QStringLiteral("decks:listDecks"), {}, received.list("list")));
    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());

    QCOMPARE(awaitTask(rig.client->subscribe<Deck>(QStringLiteral("decks:getActiveDeck"), {},
                                                   received.deck("active")))
                 .value,
             1);
    QCOMPARE(rig.client->queryVersion(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.framesOfType("ModifyQuerySet").size(), 2, timeout);
    const QJsonObject second = rig.endpoint.framesOfType("ModifyQuerySet")[1].message;
    QCOMPARE(second.value("baseVersion").toInt(), 1);
    QCOMPARE(second.value("newVersion").toInt(), 2);
    QCOMPARE(second.value("modifications").toArray().size(), 1);
    QCOMPARE(second.value("modifications").toArray()[0].toObject().value("queryId").toInt(), 1);

    // The server answered the new query and kept the connection.
    QTRY_COMPARE_WITH_TIMEOUT(received.events, QStringList({"active=Second"}), timeout);
    QCOMPARE(rig.endpoint.liveQueries(),
             (QMap<int, QString>{{0, "decks:listDecks"}, {1, "decks:getActiveDeck"}}));
    QVERIFY(rig.endpoint.violations().isEmpty());
    QCOMPARE(rig.endpoint.liveConnectionCount(), 1);
}

void ConvexSubscriptionClientTest::receiveErrorReconnectsWithReasonAndFreshQuerySet()
{
    SyncTestRig rig;
    rig.http->setTokens(QStringLiteral("access-1"), QStringLiteral("refresh-1"));
    awaitTask(rig.client->subscribe<Deck>(QStringLiteral("a:one"), {}, [](std::optional<Deck>) {}));
    awaitTask(rig.client->subscribe<Deck>(QStringLiteral("a:two"), {}, [](std::optional<Deck>) {}));
    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());
    awaitTask(rig.client->subscribe<Deck>(QStringLiteral("a:three"), {}, [](std::optional<Deck>) {}));
    QCOMPARE(rig.client->queryVersion(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.frames().size(), 4, timeout);
    rig.endpoint.clearFrames();

    rig.endpoint.closeConnections(QWebSocketProtocol::CloseCodeGoingAway, QStringLiteral("restarting"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.frames().size(), 3, timeout);
    QTRY_VERIFY_WITH_TIMEOUT(rig.client->isConnected(), timeout);

    // One wait of a second, then the second connection, which says why the first ended.
    QCOMPARE(rig.reconnectWaits(), QList<qint64>({1000}));
    QCOMPARE(rig.endpoint.connectionsOpened(), 2);
    const auto frames = rig.endpoint.frames();
    QCOMPARE(frames[0].message.value("connectionCount").toInt(), 1);
    const QString reason = frames[0].message.value("lastCloseReason").toString();
    QVERIFY(!reason.isEmpty() && reason != QStringLiteral("InitialConnect"));
    QCOMPARE(frames[0].message.value("sessionId").toString(), rig.client->sessionId());
    QCOMPARE(frames[1].message.value("baseVersion").toInt(), 0);
    QCOMPARE(frames[2].message.value("baseVersion").toInt(), 0);
    QCOMPARE(frames[2].message.value("newVersion").toInt(), 1);
    QCOMPARE(frames[2].message.value("modifications").toArray().size(), 3);
    QCOMPARE(rig.client->connectionCount(), 1);
    QVERIFY(rig.endpoint.violations().isEmpty());

    // The next Connect after a success reports no close reason.
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.frames().size(), 3, timeout);
    rig.endpoint.clearFrames();
    rig.client->reconnectForAccountChange();
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.frames().size(), 3, timeout);
    QVERIFY(rig.endpoint.frames()[0].message.value("lastCloseReason").isNull());
}

void ConvexSubscriptionClientTest::backOffDoublesAndOnlyTheLastWaitIsSlept_data()
{
    QTest::addColumn<double>("draw"); // the jitter's random number; negative: the real generator
    QTest::newRow("no jitter") << 0.5;
    QTest::newRow("shortest") << 0.0;
    QTest::newRow("longest") << 0.999999;
    QTest::newRow("system generator") << -1.0;
}

void ConvexSubscriptionClientTest::backOffDoublesAndOnlyTheLastWaitIsSlept()
{
    QFETCH(double, draw);
    auto sleeper = std::make_unique<ManualSleeper>();
    const auto requested = sleeper->requested;
    ManualSleeper *waits = sleeper.get();
    FakeDeployment deployment;
    ConvexClient http(deployment.url());
    ConvexSubscriptionClient client(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/sync").arg(refusingPort())),
                                    http, std::move(sleeper), std::make_unique<FixedClock>());
    if (draw >= 0)
        client.setJitter([draw] { return draw; });

    // Every attempt fails twice: its send, then its cancelled socket's receive;
    // each failure asks for a wait and the second replaces the first.
    QList<qint64> slept;
    client.startIfNeeded();
    for (int round = 1; round <= 4; ++round) {
        QTRY_COMPARE_WITH_TIMEOUT(requested->size(), 2 * round, timeout);
        QVERIFY(!client.isConnected());
        QVERIFY(!client.isConnecting());
        const auto running = waits->running();
        QCOMPARE(running.size(), 1);
        QCOMPARE(running.first(), requested->last());
        slept.append(running.first()->duration().count());
        running.first()->finish();
        if (round < 4)
            QTRY_COMPARE_WITH_TIMEOUT(client.connectionCount(), round, timeout);
    }
    // Each wait is spread by up to half of the nominal one, either way.
    const QList<qint64> nominal{2000, 8000, 30000, 30000};
    QCOMPARE(slept.size(), nominal.size());
    for (int i = 0; i < nominal.size(); ++i) {
        if (draw >= 0) {
            QCOMPARE(slept[i], qint64(std::llround(nominal[i] * (0.5 + draw))));
        } else {
            QVERIFY2(slept[i] >= nominal[i] / 2 && slept[i] <= nominal[i] * 3 / 2,
                     qPrintable(QString::number(slept[i])));
        }
    }
    if (draw == 0.5) {
        QList<qint64> asked;
        for (const auto &sleep : *requested)
            asked.append(sleep->duration().count());
        QCOMPARE(asked, QList<qint64>({1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}));
    }
    // The replaced waits were cancelled, not left to fire.
    int cancelled = 0;
    for (const auto &sleep : *requested)
        cancelled += sleep->isCancelled() ? 1 : 0;
    QCOMPARE(cancelled, 4);
    QTRY_COMPARE_WITH_TIMEOUT(client.connectionCount(), 4, timeout);
}

void ConvexSubscriptionClientTest::startWhileWaitingReconnectsNow()
{
    auto sleeper = std::make_unique<ManualSleeper>();
    ManualSleeper *waits = sleeper.get();
    SyncTestRig rig(std::move(sleeper));
    awaitTask(rig.client->subscribe<Deck>(QStringLiteral("a:one"), {}, [](std::optional<Deck>) {}));
    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());
    rig.endpoint.abortConnections();
    QTRY_VERIFY_WITH_TIMEOUT(reconnectWait(*waits), timeout);
    const auto pending = reconnectWait(*waits);

    // Someone asks for the decks (the menu's refresh): no need to sit out the wait.
    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());
    QTRY_VERIFY_WITH_TIMEOUT(rig.client->isConnected() && rig.endpoint.liveConnectionCount() == 1, timeout);
    QVERIFY(pending->isCancelled());
    QCOMPARE(rig.client->connectionCount(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.liveQueries().size(), 1, timeout);
    QVERIFY(rig.endpoint.violations().isEmpty());
}

void ConvexSubscriptionClientTest::silentServerTimesOutTheHandshake()
{
    // Accepts connections and never answers the upgrade request.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    auto sleeper = std::make_unique<ManualSleeper>();
    ManualSleeper *waits = sleeper.get();
    LogCapture log;
    FakeDeployment deployment;
    ConvexClient http(deployment.url());
    ConvexSubscriptionClient client(
        QUrl(QStringLiteral("ws://127.0.0.1:%1/api/sync").arg(silent.serverPort())), http, std::move(sleeper),
        std::make_unique<FixedClock>());
    client.setHandshakeTimeout(std::chrono::milliseconds(100));

    client.startIfNeeded();
    QVERIFY(client.isConnecting());
    QTRY_COMPARE_WITH_TIMEOUT(waits->running().size(), 1, timeout);
    QVERIFY(!client.isConnecting());
    QVERIFY(log.lines(LogChannel::Sync).contains("[Convex WS] Connect failed: The connection timed out"));
    QTRY_COMPARE_WITH_TIMEOUT(client.findChildren<QWebSocket *>().size(), 0, timeout);
}

void ConvexSubscriptionClientTest::transitionsDeliverUsableUpdatesInOrder()
{
    SyncTestRig rig;
    Received received;
    awaitTask(
        rig.client->subscribe<Deck>(QStringLiteral("decks:getActiveDeck"), {}, received.deck("active")));
    awaitTask(
        rig.client->subscribe<QList<Deck>>(QStringLiteral("decks:listDecks"), {}, received.list("list")));
    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());

    QJsonObject failed{{"type", "QueryFailed"}, {"queryId", 0}, {"errorMessage", "boom"}};
    QJsonObject removed{{"type", "QueryRemoved"}, {"queryId", 1}};
    QJsonObject malformedDeck = deckJson("x", "Broken");
    malformedDeck.remove("langTo");
    rig.endpoint.pushTransition(QJsonArray{
        updated(1, QJsonArray{deckJson("d1", "One"), deckJson("d2", "Two")}),
        updated(0, deckJson("d1", "One")),
        failed,
        removed,
        updated(7, deckJson("d9", "Unknown id")),
        updated("0", deckJson("d9", "Text id")),
        updated(0.5, deckJson("d9", "Fractional id")),
        updated(1, QJsonValue()),
        updated(0, std::nullopt),
        updated(1, QJsonArray{deckJson("d1", "One"), malformedDeck}),
        updated(0, QStringLiteral("not a deck")),
    });
    QTRY_COMPARE_WITH_TIMEOUT(received.events.size(), 6, timeout);
    QCOMPARE(received.events, QStringList({"list=[One,Two]", "active=One", "list=absent", "active=absent",
                                           "list=absent", "active=absent"}));
    QVERIFY(rig.client->isConnected());
}

void ConvexSubscriptionClientTest::binaryFramesAndGarbageAreHandledSafely()
{
    SyncTestRig rig;
    Received received;
    awaitTask(
        rig.client->subscribe<Deck>(QStringLiteral("decks:getActiveDeck"), {}, received.deck("active")));
    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());

    rig.endpoint.sendText(QStringLiteral("not json"));
    rig.endpoint.sendText(QStringLiteral("[1,2]"));
    rig.endpoint.sendText(QStringLiteral("{\"type\":7}"));
    rig.endpoint.sendText(QStringLiteral("{\"type\":\"Transition\",\"modifications\":{\"a\":1}}"));
    rig.endpoint.sendText(QStringLiteral("{\"type\":\"SomethingNew\"}"));
    rig.endpoint.sendBinary(QByteArray("\xff\xfe{\"type\":\"FatalError\"}"));
    const QString transition =
        QStringLiteral("{\"type\":\"Transition\",\"modifications\":[{\"type\":\"QueryUpdated\","
                       "\"queryId\":0,\"value\":{\"_id\":\"d1\",\"name\":\"Åsa\","
                       "\"langFrom\":\"sv\",\"langTo\":\"en\"}}]}");
    rig.endpoint.sendBinary(transition.toUtf8());

    QTRY_COMPARE_WITH_TIMEOUT(received.events, QStringList({"active=Åsa"}), timeout);
    QVERIFY(rig.client->isConnected());
    QCOMPARE(rig.endpoint.connectionsOpened(), 1);
}

void ConvexSubscriptionClientTest::jsonPingIsNotAnswered()
{
    SyncTestRig rig;
    rig.endpoint.setQueryResult(QStringLiteral("decks:getActiveDeck"), deckJson("d1", "First"));
    Received received;
    awaitTask(
        rig.client->subscribe<Deck>(QStringLiteral("decks:getActiveDeck"), {}, received.deck("active")));
    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());
    QTRY_COMPARE_WITH_TIMEOUT(received.events.size(), 1, timeout);

    rig.endpoint.pushPing();
    // Messages are handled in order: once this update arrived, the Ping was handled.
    rig.endpoint.setQueryResult(QStringLiteral("decks:getActiveDeck"), deckJson("d2", "Second"));
    QTRY_COMPARE_WITH_TIMEOUT(received.events.size(), 2, timeout);
    awaitTask(rig.client->subscribe<Deck>(QStringLiteral("decks:other"), {}, [](std::optional<Deck>) {}));
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.framesOfType("ModifyQuerySet").size(), 2, timeout);

    QCOMPARE(rig.endpoint.frames().size(), 3); // Connect, the opening query set, the new query
    QVERIFY(rig.endpoint.violations().isEmpty());
    QVERIFY(rig.client->isConnected());
    QCOMPARE(rig.endpoint.liveConnectionCount(), 1);
}

void ConvexSubscriptionClientTest::authErrorRefreshesAndTheNewTokenReachesTheServer()
{
    SyncTestRig rig;
    rig.http->setTokens(QStringLiteral("stale-access"), QStringLiteral("refresh-1"));
    rig.endpoint.setAcceptedTokens({QStringLiteral("fresh-access")});
    rig.endpoint.setQueryResultForToken(QStringLiteral("fresh-access"), QStringLiteral("decks:getActiveDeck"),
                                        deckJson("d1", "Mine"));
    rig.deployment.answer(
        QStringLiteral("auth:signIn"),
        FakeDeployment::Answer::issued(QStringLiteral("fresh-access"), QStringLiteral("refresh-2")));
    Received received;
    awaitTask(
        rig.client->subscribe<Deck>(QStringLiteral("decks:getActiveDeck"), {}, received.deck("active")));
    rig.client->startIfNeeded();

    QTRY_COMPARE_WITH_TIMEOUT(received.events, QStringList({"active=Mine"}), timeout);
    QCOMPARE(rig.endpoint.liveToken(), std::optional<QString>(QStringLiteral("fresh-access")));
    QCOMPARE(rig.http->authToken(), std::optional<QString>(QStringLiteral("fresh-access")));
    QCOMPARE(rig.http->refreshToken(), std::optional<QString>(QStringLiteral("refresh-2")));
    const auto refreshes = rig.deployment.requestsFor(QStringLiteral("auth:signIn"));
    QCOMPARE(refreshes.size(), 1);
    QCOMPARE(refreshes[0].args().value("refreshToken").toString(), QStringLiteral("refresh-1"));

    // Every Authenticate started from its connection's identity version 0.
    for (const auto &frame : rig.endpoint.framesOfType("Authenticate"))
        QCOMPARE(frame.message.value("baseVersion").toInt(), 0);
    QCOMPARE(rig.endpoint.framesOfType("Authenticate").last().message.value("value").toString(),
             QStringLiteral("fresh-access"));
    QVERIFY(rig.endpoint.violations().isEmpty());
    QCOMPARE(rig.endpoint.liveConnectionCount(), 1);
}

void ConvexSubscriptionClientTest::authErrorOnAKeptConnectionCountsIdentityVersions()
{
    SyncTestRig rig;
    rig.endpoint.setClosesAfterAuthError(false);
    rig.http->setTokens(QStringLiteral("access-1"), QStringLiteral("refresh-1"));
    int refreshes = 0;
    rig.deployment.setHandler(
        [&refreshes](const FakeDeployment::Request &request) -> std::optional<FakeDeployment::Answer> {
            if (request.functionPath() != QLatin1String("auth:signIn"))
                return std::nullopt;
            ++refreshes;
            return FakeDeployment::Answer::issued(QStringLiteral("access-%1").arg(refreshes + 1),
                                                  QStringLiteral("refresh-%1").arg(refreshes + 1));
        });
    awaitTask(rig.client->subscribe<Deck>(QStringLiteral("a:one"), {}, [](std::optional<Deck>) {}));
    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());
    awaitTask(rig.client->subscribe<Deck>(QStringLiteral("a:two"), {}, [](std::optional<Deck>) {}));
    QCOMPARE(rig.client->queryVersion(), 2); // apart from the identity version, which is 1

    rig.endpoint.pushAuthError(QStringLiteral("expired"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.framesOfType("Authenticate").size(), 2, timeout);
    rig.endpoint.pushAuthError(QStringLiteral("expired again"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.framesOfType("Authenticate").size(), 3, timeout);

    const auto authenticates = rig.endpoint.framesOfType("Authenticate");
    QCOMPARE(authenticates[1].message.value("baseVersion").toInt(), 1);
    QCOMPARE(authenticates[1].message.value("value").toString(), QStringLiteral("access-2"));
    QCOMPARE(authenticates[2].message.value("baseVersion").toInt(), 2);
    QCOMPARE(authenticates[2].message.value("value").toString(), QStringLiteral("access-3"));
    QVERIFY(rig.endpoint.violations().isEmpty());
    QVERIFY(rig.client->isConnected());
    QCOMPARE(rig.endpoint.connectionsOpened(), 1);
    QCOMPARE(rig.endpoint.liveToken(), std::optional<QString>("access-3"));
}

void ConvexSubscriptionClientTest::authErrorWithoutRefreshTokenReconnects()
{
    SyncTestRig rig;
    rig.http->setTokens(QStringLiteral("access-1"), std::nullopt);
    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());
    rig.endpoint.pushAuthError(std::nullopt);

    QTRY_VERIFY_WITH_TIMEOUT(rig.endpoint.connectionsOpened() == 2 && rig.client->isConnected(), timeout);
    // The error is answered with the first step of the back-off (the close
    // that follows it may ask for the next).
    QCOMPARE(rig.reconnectWaits().value(0), 1000);
    QCOMPARE(rig.deployment.count(QStringLiteral("auth:signIn")), 0);
    // Why the token was not refreshed shows only in its diagnostic, said once.
    QCOMPARE(
        rig.syncLines().filter(QStringLiteral("[Convex WS] Token refresh failed: ") +
                               ConvexError::authFailed(QStringLiteral("No refresh token")).description()),
        QStringList({QStringLiteral("[Convex WS] Token refresh failed: ") +
                     ConvexError::authFailed(QStringLiteral("No refresh token")).description()}));
}

void ConvexSubscriptionClientTest::fatalErrorReconnects()
{
    SyncTestRig rig;
    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());
    rig.endpoint.pushFatalError(std::nullopt);
    QTRY_VERIFY_WITH_TIMEOUT(rig.endpoint.connectionsOpened() == 2 && rig.client->isConnected(), timeout);
    QCOMPARE(rig.reconnectWaits().value(0), 1000); // the close that follows may ask for the next step
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.liveConnectionCount(), 1, timeout);

    rig.endpoint.pushFatalError(QStringLiteral("Server shutting down"));
    QTRY_VERIFY_WITH_TIMEOUT(rig.endpoint.connectionsOpened() == 3 && rig.client->isConnected(), timeout);
    // The server's reason reaches only the log.
    QCOMPARE(rig.syncLines().filter(QStringLiteral("[Convex WS] FatalError: Server shutting down")).size(),
             1);
}

void ConvexSubscriptionClientTest::accountChangeSwitchesIdentityAndStopsOldResults()
{
    SyncTestRig rig;
    rig.http->setTokens(QStringLiteral("token-a"), QStringLiteral("refresh-a"));
    rig.endpoint.setQueryResultForToken("token-a", "decks:getActiveDeck", deckJson("a1", "Anna's"));
    rig.endpoint.setQueryResultForToken("token-b", "decks:getActiveDeck", deckJson("b1", "Bo's"));
    Received received;
    // Before any connection, an account change has nothing to redo.
    rig.client->reconnectForAccountChange();
    QCOMPARE(rig.endpoint.connectionsOpened(), 0);
    QVERIFY(!rig.client->isConnecting());

    awaitTask(
        rig.client->subscribe<Deck>(QStringLiteral("decks:getActiveDeck"), {}, received.deck("active")));
    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());
    QTRY_COMPARE_WITH_TIMEOUT(received.events, QStringList({"active=Anna's"}), timeout);

    rig.http->setTokens(QStringLiteral("token-b"), QStringLiteral("refresh-b"));
    rig.client->reconnectForAccountChange();
    QTRY_COMPARE_WITH_TIMEOUT(received.events, QStringList({"active=Anna's", "active=Bo's"}), timeout);
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.liveConnectionCount(), 1, timeout);
    QCOMPARE(rig.endpoint.liveToken(), std::optional<QString>("token-b"));

    // The previous account's changes no longer arrive; signing out drops the identity.
    rig.endpoint.setQueryResultForToken("token-a", "decks:getActiveDeck", deckJson("a2", "Anna's new"));
    rig.http->setTokens(std::nullopt, std::nullopt);
    rig.client->reconnectForAccountChange();
    QTRY_VERIFY_WITH_TIMEOUT(rig.endpoint.connectionsOpened() == 3 && rig.client->isConnected(), timeout);
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.liveConnectionCount(), 1, timeout);
    QCOMPARE(rig.endpoint.liveToken(), std::nullopt);
    QCOMPARE(received.events, QStringList({"active=Anna's", "active=Bo's"}));
    QVERIFY(rig.endpoint.violations().isEmpty());
    QCOMPARE(rig.client->findChildren<QWebSocket *>().size(), 1);
}

QTEST_GUILESS_MAIN(ConvexSubscriptionClientTest)
#include "ConvexSubscriptionClientTest.moc"

void ConvexSubscriptionClientTest::backOffRestartsOnlyOnceTheServerAccepts()
{
    auto sleeper = std::make_unique<ManualSleeper>();
    ManualSleeper *waits = sleeper.get();
    SyncTestRig rig(std::move(sleeper));
    int updates = 0;
    awaitTask(rig.client->subscribe<QList<Deck>>(QStringLiteral("decks:listDecks"), {},
                                                 [&updates](std::optional<QList<Deck>>) { ++updates; }));
    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());

    // The server takes the opening frames and drops the connection before it
    // has accepted it (no Transition): the waits keep growing.
    QList<qint64> durations;
    for (int round = 0; round < 3; ++round) {
        QTRY_VERIFY_WITH_TIMEOUT(rig.client->isConnected() && rig.endpoint.liveConnectionCount() == 1,
                                 timeout);
        rig.endpoint.closeConnections(QWebSocketProtocol::CloseCodeGoingAway);
        QTRY_VERIFY_WITH_TIMEOUT(reconnectWait(*waits), timeout);
        durations.append(reconnectWait(*waits)->duration().count());
        reconnectWait(*waits)->finish();
    }
    QCOMPARE(durations, (QList<qint64>{1000, 2000, 4000}));

    // Accepted: the next loss waits one second again.
    QTRY_VERIFY_WITH_TIMEOUT(rig.client->isConnected() && rig.endpoint.liveConnectionCount() == 1, timeout);
    rig.endpoint.setQueryResult(QStringLiteral("decks:listDecks"), QJsonArray());
    QTRY_COMPARE_WITH_TIMEOUT(updates, 1, timeout);
    rig.endpoint.closeConnections(QWebSocketProtocol::CloseCodeGoingAway);
    QTRY_VERIFY_WITH_TIMEOUT(reconnectWait(*waits), timeout);
    QCOMPARE(reconnectWait(*waits)->duration().count(), 1000);
}

void ConvexSubscriptionClientTest::silentConnectionIsMadeAgain()
{
    auto sleeper = std::make_unique<ManualSleeper>();
    ManualSleeper *waits = sleeper.get();
    SyncTestRig rig(std::move(sleeper));
    awaitTask(rig.client->subscribe<Deck>(QStringLiteral("a:one"), {}, [](std::optional<Deck>) {}));
    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());
    QVERIFY(silenceWait(*waits));
    QVERIFY(!reconnectWait(*waits));

    // Any message restarts the minute.
    const auto minute = silenceWait(*waits);
    rig.endpoint.pushPing();
    QTRY_COMPARE_WITH_TIMEOUT(minute->restarts(), 1, timeout);
    QCOMPARE(silenceWait(*waits), minute);
    QCOMPARE(rig.endpoint.liveConnectionCount(), 1);

    // A minute of silence: the socket is closed and the connection made again.
    minute->finish();
    QTRY_VERIFY_WITH_TIMEOUT(reconnectWait(*waits), timeout);
    QCOMPARE(reconnectWait(*waits)->duration().count(), 1000);
    const QString reason = QStringLiteral("No message from the server for 60 s");
    QVERIFY(!rig.client->isConnected());
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.liveConnectionCount(), 0, timeout);
    QVERIFY(!silenceWait(*waits));

    rig.endpoint.clearFrames();
    reconnectWait(*waits)->finish();
    QTRY_VERIFY_WITH_TIMEOUT(rig.client->isConnected() && rig.endpoint.liveConnectionCount() == 1, timeout);
    QCOMPARE(rig.endpoint.connectionsOpened(), 2);
    QCOMPARE(rig.endpoint.framesOfType(QStringLiteral("Connect")).first().message.value("lastCloseReason"),
             QJsonValue(reason));
    QVERIFY(silenceWait(*waits));
}

void ConvexSubscriptionClientTest::messagesKeepTheConnectionOnRealTimers()
{
    // The running wait is started over in place: its timer must really be.
    SyncTestRig rig(std::make_unique<TimerSleeper>());
    rig.client->setSilenceLimit(std::chrono::seconds(2));
    awaitTask(rig.client->subscribe<Deck>(QStringLiteral("a:one"), {}, [](std::optional<Deck>) {}));
    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());
    QElapsedTimer pinging;
    pinging.start();
    while (!pinging.hasExpired(5000)) {
        rig.endpoint.pushPing();
        QTest::qWait(100);
    }
    QCOMPARE(rig.endpoint.connectionsOpened(), 1);
    QVERIFY(rig.client->isConnected());
    // Silence from here on: still noticed, and the connection made again.
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.connectionsOpened(), 2, timeout);
}

void ConvexSubscriptionClientTest::oversizedFrameIsRefusedWithoutBufferingIt()
{
    // One frame announcing 256 MiB; the limit is 16 MiB.
    constexpr qint64 frameSize = 256LL * 1024 * 1024;
    RawSyncEndpoint endpoint({}, frameSize);
    auto sleeper = std::make_unique<ManualSleeper>();
    ManualSleeper *waits = sleeper.get();
    LogCapture log;
    FakeDeployment deployment;
    ConvexClient http(deployment.url());
    ConvexSubscriptionClient client(endpoint.url(), http, std::move(sleeper), std::make_unique<FixedClock>());
    client.setJitter(SyncTestRig::noJitter);

    QVERIFY(resetPeakMemory());
    const qint64 before = peakMemoryKiB();
    client.startIfNeeded();
    QTRY_VERIFY_WITH_TIMEOUT(reconnectWait(*waits), 60000);
    const qint64 grown = peakMemoryKiB() - before;
    qInfo("peak memory grew by %lld KiB while %lld MiB of the frame were written", grown,
          endpoint.frameBytesWritten / (1024 * 1024));
    QVERIFY2(grown < 48 * 1024, qPrintable(QString::number(grown)));
    // Refused as too big (1009) as soon as its header arrived.
    QCOMPARE(log.lines(LogChannel::Sync).filter(QStringLiteral("Receive error: ")).size(), 1);
    QVERIFY(log.lines(LogChannel::Sync)
                .filter(QStringLiteral("Receive error: "))
                .first()
                .contains(QStringLiteral("code 1009")));
    QTRY_COMPARE_WITH_TIMEOUT(endpoint.closed, 1, timeout);
    QTRY_COMPARE_WITH_TIMEOUT(client.findChildren<QWebSocket *>().size(), 0, timeout);
}

void ConvexSubscriptionClientTest::redirectedUpgradeIsNotFollowed()
{
    // The token goes out in the first frames after the upgrade: a socket that
    // followed the redirect would hand it to whoever the redirect names.
    RawSyncEndpoint elsewhere;
    RawSyncEndpoint endpoint(elsewhere.url().toEncoded());
    auto sleeper = std::make_unique<ManualSleeper>();
    ManualSleeper *waits = sleeper.get();
    LogCapture log;
    FakeDeployment deployment;
    ConvexClient http(deployment.url());
    http.setTokens(QStringLiteral("access-1"), QStringLiteral("refresh-1"));
    ConvexSubscriptionClient client(endpoint.url(), http, std::move(sleeper), std::make_unique<FixedClock>());

    client.startIfNeeded();
    QTRY_VERIFY_WITH_TIMEOUT(reconnectWait(*waits), timeout);
    QCOMPARE(endpoint.connections, 1);
    QVERIFY(!client.isConnected());
    QCOMPARE(log.lines(LogChannel::Sync).filter(QStringLiteral("Connect failed: ")).size(), 1);
    QCOMPARE(elsewhere.connections, 0);
    QVERIFY(deployment.requests().isEmpty());
}
