#include "SyncTestRig.h"
#include "TaskOutcome.h"

#include <QJsonArray>
#include <QTest>
#include <QWebSocket>

namespace {

constexpr int soakLimit = 30000; // the soak waits longer than the other sync tests
constexpr int disconnects = 200;

} // namespace

// Many forced disconnects in a row, with subscriptions made in between (some
// while the client still thinks the dying connection is up, some once it is
// back): the client must end with one live connection on which every query is
// registered exactly once, without leaking sockets.
class SyncSoakTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void survivesRepeatedDisconnects();
};

void SyncSoakTest::survivesRepeatedDisconnects()
{
    SyncTestRig rig;
    rig.http->setTokens(QStringLiteral("access"), QStringLiteral("refresh"));
    int updates = 0;
    int subscriptions = 0;
    auto subscribe = [&]() {
        const QString path = QStringLiteral("soak:q%1").arg(subscriptions);
        rig.endpoint.setQueryResult(path, QJsonArray()); // every registration gets an answer
        std::function<void(std::optional<QList<Deck>>)> count = [&updates](std::optional<QList<Deck>>) {
            ++updates;
        };
        awaitTask(rig.client->subscribe<QList<Deck>>(path, {}, count));
        ++subscriptions;
    };
    subscribe();
    QVERIFY(awaitTask(rig.client->startIfNeeded()).succeeded());

    for (int round = 0; round < disconnects; ++round) {
        const int opened = rig.endpoint.connectionsOpened();
        switch (round % 4) {
        case 0:
            rig.endpoint.closeConnections(QWebSocketProtocol::CloseCodeGoingAway, QStringLiteral("restart"));
            break;
        case 1:
            rig.endpoint.abortConnections();
            break;
        case 2:
            rig.endpoint.pushFatalError(QStringLiteral("overloaded"));
            break;
        case 3:
            rig.endpoint.closeConnections(QWebSocketProtocol::CloseCodeBadOperation,
                                          QStringLiteral("internal"));
            break;
        }
        if (round % 3 == 0)
            subscribe(); // the client may not have noticed the loss yet
        QTRY_VERIFY_WITH_TIMEOUT(rig.endpoint.connectionsOpened() > opened && rig.client->isConnected() &&
                                     rig.endpoint.liveConnectionCount() == 1,
                                 soakLimit);
        if (round % 3 == 1)
            subscribe(); // on the new connection
    }

    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.openSocketCount(), 1, soakLimit);
    QTRY_COMPARE_WITH_TIMEOUT(rig.client->findChildren<QWebSocket *>().size(), 1, soakLimit);
    QVERIFY(rig.client->isConnected());
    QVERIFY(rig.endpoint.violations().isEmpty());

    // Every query is on the live connection, each added once.
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.liveQueries().size(), subscriptions, soakLimit);
    const QMap<int, QString> live = rig.endpoint.liveQueries();
    for (int id = 0; id < subscriptions; ++id)
        QCOMPARE(live.value(id), QStringLiteral("soak:q%1").arg(id));
    const int liveConnection = rig.endpoint.connectionsOpened();
    QMap<int, int> adds;
    for (const auto &frame : rig.endpoint.framesOfType(QStringLiteral("ModifyQuerySet"))) {
        if (frame.connection != liveConnection)
            continue;
        for (const QJsonValue &modification : frame.message.value(QStringLiteral("modifications")).toArray())
            ++adds[modification.toObject().value(QStringLiteral("queryId")).toInt()];
    }
    QCOMPARE(adds.size(), subscriptions);
    for (int count : std::as_const(adds))
        QCOMPARE(count, 1);
    QVERIFY(rig.client->connectionCount() >= disconnects);
    // Results reach subscribers through the event loop, after the server has
    // registered the query: wait for the last ones.
    QTRY_VERIFY_WITH_TIMEOUT(updates >= subscriptions, soakLimit);
}

QTEST_GUILESS_MAIN(SyncSoakTest)
#include "SyncSoakTest.moc"
