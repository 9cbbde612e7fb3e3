#include "backend/DeploymentUrl.h"
#include "backend/ConfigurationError.h"
#include "backend/ConvexClient.h"

#include "FakeDeployment.h"
#include "TaskOutcome.h"

#include <QTest>

class DeploymentUrlTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void acceptedAndRefusedAddresses_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("https") << "https://happy-otter-123.convex.cloud" << true;
        QTest::newRow("http loopback v4") << "http://127.0.0.1:3210" << true;
        QTest::newRow("http loopback 127/8") << "http://127.45.6.7:80" << true;
        QTest::newRow("http localhost") << "http://localhost:3210" << true;
        QTest::newRow("http LOCALHOST") << "http://LOCALHOST:3210" << true;
        QTest::newRow("http ::1") << "http://[::1]:3210" << true;
        QTest::newRow("http lan") << "http://192.168.1.10:3210" << false;
        QTest::newRow("http public") << "http://happy-otter-123.convex.cloud" << false;
        QTest::newRow("http 0.0.0.0") << "http://0.0.0.0:3210" << false;
        QTest::newRow("http loopback-looking name") << "http://127.0.0.1.example.com" << false;
        QTest::newRow("http localhost subdomain") << "http://localhost.example.com" << false;
        QTest::newRow("ws") << "ws://127.0.0.1:3210" << false;
        QTest::newRow("ftp") << "ftp://example.com" << false;
        QTest::newRow("no scheme") << "example.com" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("query") << "https://otter.convex.cloud?x=1" << false;
        QTest::newRow("fragment") << "https://otter.convex.cloud#x" << false;
    }

    void acceptedAndRefusedAddresses()
    {
        QFETCH(QString, url);
        QFETCH(bool, accepted);
        const auto problem = DeploymentUrl::problem(QUrl(url));
        QCOMPARE(!problem.has_value(), accepted);
        if (problem)
            QVERIFY(!problem->isEmpty());
    }

    void environmentOverridesTheBuild()
    {
        qputenv(DeploymentUrl::environmentVariable, "http://127.0.0.1:4321/");
        QCOMPARE(ConvexClient::deploymentUrl(), QUrl(QStringLiteral("http://127.0.0.1:4321")));
        qunsetenv(DeploymentUrl::environmentVariable);
        const QUrl built = ConvexClient::deploymentUrl();
        QVERIFY(built.isValid());
        QVERIFY(!built.toString().endsWith(QLatin1Char('/')));
    }

    void syncUrlFollowsTheBase()
    {
        const auto sync = [](const char *base) {
            return DeploymentUrl::syncUrl(QUrl(QString::fromLatin1(base)));
        };
        QCOMPARE(sync("https://happy-otter-123.convex.cloud"),
                 QUrl("wss://happy-otter-123.convex.cloud/api/sync"));
        QCOMPARE(sync("http://127.0.0.1:3210"), QUrl("ws://127.0.0.1:3210/api/sync"));
        QCOMPARE(sync("http://127.0.0.1:3210/"), QUrl("ws://127.0.0.1:3210/api/sync"));
        // Plain text only ever stays on the machine.
        QCOMPARE(sync("http://example.com:8080/x?y=1"), QUrl("wss://example.com:8080/api/sync"));
    }

    void plainHttpToAnotherHostIsRefusedBeforeSending()
    {
        // A fake listening on loopback, addressed through a non-loopback name:
        // if anything were sent, the fake would not see it anyway, so check that
        // the failure is the configuration one, raised without a transfer.
        FakeDeployment fake;
        ConvexClient client(QUrl(QStringLiteral("http://example.invalid")));
        client.setTokens(QStringLiteral("secret-token"), QStringLiteral("secret-refresh"));
        const auto outcome = awaitTask(client.getActiveDeck());
        QVERIFY(outcome.finished);
        const auto failure = outcome.failure<ConfigurationError>();
        QVERIFY2(failure, qPrintable(outcome.description()));
        QVERIFY(failure->description().contains(QStringLiteral("plain http")));
        QVERIFY(!failure->description().contains(QStringLiteral("secret")));
    }

    void trailingSlashDoesNotDoubleTheSeparator()
    {
        FakeDeployment fake;
        fake.answer(QStringLiteral("decks:setActiveDeck"), FakeDeployment::Answer::success(QJsonValue()));
        ConvexClient client(QUrl(fake.url().toString() + QStringLiteral("/")));
        QVERIFY(awaitTask(client.setActiveDeck(QStringLiteral("d"))).succeeded());
        QCOMPARE(fake.requests().size(), 1);
        QCOMPARE(fake.requests().first().target, QByteArray("/api/mutation"));
    }
};

QTEST_GUILESS_MAIN(DeploymentUrlTest)
#include "DeploymentUrlTest.moc"
