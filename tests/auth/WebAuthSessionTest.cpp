#include "auth/WebAuthSession.h"

#include "TaskOutcome.h"

#include <QTest>

using namespace std::chrono_literals;

class WebAuthSessionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Only the registered address with this attempt's state is the answer:
    // any page can open a vocarta:// link.
    void onlyTheAttemptsOwnCallbackAnswers_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("answers");
        const QString state = QStringLiteral("Zq-3_x");
        QTest::newRow("state in the fragment") << "vocarta://auth/google#id_token=abc&state=" + state << true;
        QTest::newRow("state first") << "vocarta://auth/google#state=" + state + "&id_token=abc" << true;
        QTest::newRow("state in the query, no fragment") << "vocarta://auth/google?state=" + state << true;
        QTest::newRow("host in capitals") << "vocarta://AUTH/google#state=" + state << true;
        QTest::newRow("no state") << QStringLiteral("vocarta://auth/google#id_token=abc") << false;
        QTest::newRow("another state")
            << QStringLiteral("vocarta://auth/google#id_token=abc&state=Zq-3_y") << false;
        QTest::newRow("state of an empty value") << QStringLiteral("vocarta://auth/google#state=") << false;
        QTest::newRow("wrong fragment state beats the query")
            << "vocarta://auth/google?state=" + state + "#state=other" << false;
        QTest::newRow("another path") << "vocarta://auth/apple#state=" + state << false;
        QTest::newRow("path with a slash after") << "vocarta://auth/google/#state=" + state << false;
        QTest::newRow("another host") << "vocarta://evil/google#state=" + state << false;
        QTest::newRow("user info") << "vocarta://x@auth/google#state=" + state << false;
        QTest::newRow("port") << "vocarta://auth:1/google#state=" + state << false;
        QTest::newRow("another scheme") << "https://auth/google#state=" + state << false;
    }

    void onlyTheAttemptsOwnCallbackAnswers()
    {
        QFETCH(QString, url);
        QFETCH(bool, answers);
        WebAuthSession session(30s, QStringLiteral("Zq-3_x"));
        QCOMPARE(session.isAnswer(QUrl(url)), answers);
    }

    void everyWaiterGetsTheUrl()
    {
        WebAuthSession session(30s, QStringLiteral("s1"));
        const QUrl url(QStringLiteral("vocarta://auth/google#id_token=abc"));
        // Two waiters before the URL arrives, one after: each reads the same URL.
        auto first = std::make_shared<TaskOutcome<QUrl>>();
        auto second = std::make_shared<TaskOutcome<QUrl>>();
        TaskOutcomeDetail::collect(session.callbackUrl(), first);
        TaskOutcomeDetail::collect(session.callbackUrl(), second);
        session.complete(url);
        QTRY_VERIFY_WITH_TIMEOUT(first->finished && second->finished, 20000);
        QCOMPARE(*first->value, url);
        QCOMPARE(*second->value, url);
        const TaskOutcome<QUrl> late = awaitTask(session.callbackUrl());
        QVERIFY(late.succeeded());
        QCOMPARE(*late.value, url);
    }
};

QTEST_MAIN(WebAuthSessionTest)
#include "WebAuthSessionTest.moc"
