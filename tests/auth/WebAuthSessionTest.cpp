#include "auth/WebAuthSession.h"

#include "TaskOutcome.h"

#include <QTest>

using namespace std::chrono_literals;

class WebAuthSessionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyWaiterGetsTheUrl()
    {
        WebAuthSession session(30s);
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
