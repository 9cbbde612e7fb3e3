// Expired sessions: refresh-and-repeat on 401, the refresh operation itself,
// sign-out, and the token pair as one unit.

#include "backend/ConvexClient.h"
#include "backend/TransportError.h"

#include "FakeDeployment.h"
#include "TaskOutcome.h"
#include "TestSupport.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <thread>

using Answer = FakeDeployment::Answer;

namespace {

const QString signInPath = QStringLiteral("auth:signIn");
const QString deckPath = QStringLiteral("decks:getActiveDeck");

// A deployment that accepts only `validToken` for the deck query.
void acceptOnly(FakeDeployment &fake, const QByteArray &validToken)
{
    fake.setHandler([validToken](const FakeDeployment::Request &request) -> std::optional<Answer> {
        if (request.functionPath() != deckPath)
            return std::nullopt;
        if (request.header("Authorization") == "Bearer " + validToken)
            return Answer::success(deckJson(QStringLiteral("d1"), QStringLiteral("N"), QStringLiteral("es")));
        return Answer::text(401, "Unauthenticated");
    });
}

} // namespace

class TokenRefreshTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void expiredTokenIsRefreshedAndTheCallRepeated()
    {
        FakeDeployment fake;
        acceptOnly(fake, "new-token");
        fake.answer(signInPath, Answer::issued(QStringLiteral("new-token"), QStringLiteral("new-refresh")));
        ConvexClient client(fake.url());
        client.setTokens(QStringLiteral("old-token"), QStringLiteral("old-refresh"));
        QSignalSpy refreshed(&client, &ConvexClient::tokensRefreshed);

        const auto outcome = awaitTask(client.getActiveDeck());
        QVERIFY2(outcome.succeeded(), qPrintable(outcome.description()));
        QCOMPARE(outcome.value->id(), QStringLiteral("d1"));
        QCOMPARE(client.authToken(), QStringLiteral("new-token"));
        QCOMPARE(client.refreshToken(), QStringLiteral("new-refresh"));

        const auto requests = fake.requests();
        QCOMPARE(requests.size(), 3);
        QCOMPARE(requests[0].header("Authorization"), QByteArray("Bearer old-token"));
        QCOMPARE(requests[1].functionPath(), signInPath);
        QVERIFY(!requests[1].hasHeader("Authorization"));
        QCOMPARE(requests[1].args().value(QStringLiteral("refreshToken")).toString(),
                 QStringLiteral("old-refresh"));
        QCOMPARE(requests[2].header("Authorization"), QByteArray("Bearer new-token"));
        QCOMPARE(requests[2].json(), requests[0].json());

        QCOMPARE(refreshed.size(), 1);
        QCOMPARE(refreshed.first().at(0).toString(), QStringLiteral("new-token"));
        QCOMPARE(refreshed.first().at(1).toString(), QStringLiteral("new-refresh"));
    }

    void refreshWithoutTokensReportsTheRefreshNotThe401()
    {
        FakeDeployment fake;
        acceptOnly(fake, "never");
        fake.answer(signInPath, Answer::noTokens());
        ConvexClient client(fake.url());
        client.setTokens(QStringLiteral("old"), QStringLiteral("oldr"));

        const auto outcome = awaitTask(client.getActiveDeck());
        QCOMPARE(outcome.description(), QStringLiteral("Auth failed: Token refresh failed"));
        QCOMPARE(client.authToken(), QStringLiteral("old"));
        QCOMPARE(client.refreshToken(), QStringLiteral("oldr"));
        QCOMPARE(fake.requests().size(), 2); // no repeat after a failed refresh
    }

    void failedRefreshPassesItsOwnFailureOn()
    {
        FakeDeployment fake;
        acceptOnly(fake, "never");
        fake.answer(signInPath, Answer::dropped());
        ConvexClient client(fake.url());
        client.setTokens(QStringLiteral("old"), QStringLiteral("oldr"));

        const auto outcome = awaitTask(client.getActiveDeck());
        QVERIFY2(outcome.failure<TransportError>(), qPrintable(outcome.description()));
        QCOMPARE(client.refreshToken(), QStringLiteral("oldr"));
    }

    void noRefreshWhenItCannotHelp()
    {
        FakeDeployment fake;
        fake.answer(QStringLiteral("users:redeemMacLinkCode"), Answer::text(401, "bad code"));
        fake.answer(deckPath, Answer::text(401, "who are you"));
        fake.answer(signInPath, Answer::issued(QStringLiteral("t"), QStringLiteral("r")));
        ConvexClient client(fake.url());

        // Unauthenticated call while signed in.
        client.setTokens(QStringLiteral("tok"), QStringLiteral("ref"));
        QCOMPARE(awaitTask(client.redeemMacLinkCode(QStringLiteral("X"))).description(),
                 QStringLiteral("Server error (401): bad code"));
        // Authenticated call with a token but no refresh token.
        client.setTokens(QStringLiteral("tok"), std::nullopt);
        QCOMPARE(awaitTask(client.getActiveDeck()).description(),
                 QStringLiteral("Server error (401): who are you"));
        // Signed out.
        client.setTokens(std::nullopt, std::nullopt);
        QCOMPARE(awaitTask(client.getActiveDeck()).description(),
                 QStringLiteral("Server error (401): who are you"));

        QCOMPARE(fake.count(signInPath), 0);
    }

    void aSecond401EndsTheCall()
    {
        FakeDeployment fake;
        acceptOnly(fake, "never");
        int issuedCount = 0;
        fake.answer(signInPath, Answer::issued(QStringLiteral("fresh"), QStringLiteral("fresh-r")));
        connect(&fake, &FakeDeployment::requestReceived, this, [&](const FakeDeployment::Request &request) {
            issuedCount += request.functionPath() == signInPath;
        });
        ConvexClient client(fake.url());
        client.setTokens(QStringLiteral("old"), QStringLiteral("oldr"));

        const auto outcome = awaitTask(client.getActiveDeck());
        QCOMPARE(outcome.description(), QStringLiteral("Server error (401): Unauthenticated"));
        QCOMPARE(issuedCount, 1);
        QCOMPARE(fake.count(deckPath), 2);
        // The refresh itself succeeded, so its pair is kept.
        QCOMPARE(client.authToken(), QStringLiteral("fresh"));
    }

    void refreshSessionOnItsOwn()
    {
        FakeDeployment fake;
        ConvexClient client(fake.url());

        const auto withoutToken = awaitTask(client.refreshSession());
        QCOMPARE(withoutToken.description(), QStringLiteral("Auth failed: No refresh token"));
        QCOMPARE(withoutToken.failure<ConvexError>()->kind(), ConvexError::Kind::AuthFailed);
        QVERIFY(fake.requests().isEmpty());

        client.setTokens(QStringLiteral("a"), QStringLiteral("r"));
        fake.answerOnce(signInPath, Answer::noTokens());
        QCOMPARE(awaitTask(client.refreshSession()).description(),
                 QStringLiteral("Auth failed: Token refresh failed"));
        QCOMPARE(client.authToken(), QStringLiteral("a"));
        QCOMPARE(client.refreshToken(), QStringLiteral("r"));

        QSignalSpy refreshed(&client, &ConvexClient::tokensRefreshed);
        fake.answerOnce(signInPath, Answer::issued(QStringLiteral("a2"), QStringLiteral("r2")));
        const auto ok = awaitTask(client.refreshSession());
        QVERIFY2(ok.succeeded(), qPrintable(ok.description()));
        QCOMPARE(*ok.value, (AuthTokens{QStringLiteral("a2"), QStringLiteral("r2")}));
        QCOMPARE(client.authToken(), QStringLiteral("a2"));
        QCOMPARE(client.refreshToken(), QStringLiteral("r2"));
        QCOMPARE(refreshed.size(), 1);
    }

    void concurrentCallsEachRefresh()
    {
        FakeDeployment fake;
        acceptOnly(fake, "new");
        // Refresh answers wait until both calls have asked for one.
        fake.answer(signInPath, Answer::issued(QStringLiteral("new"), QStringLiteral("new-r")).heldBack());
        ConvexClient client(fake.url());
        client.setTokens(QStringLiteral("old"), QStringLiteral("old-r"));

        auto first = startTask(client.getActiveDeck());
        auto second = startTask(client.getActiveDeck());
        QTRY_COMPARE_WITH_TIMEOUT(fake.heldCount(), 2, 20000);
        for (const auto &refresh : fake.requestsFor(signInPath))
            QCOMPARE(refresh.args().value(QStringLiteral("refreshToken")).toString(),
                     QStringLiteral("old-r"));
        fake.releaseHeld();
        QTRY_VERIFY_WITH_TIMEOUT(first->finished && second->finished, 20000);
        QVERIFY2(first->succeeded(), qPrintable(first->description()));
        QVERIFY2(second->succeeded(), qPrintable(second->description()));
        QCOMPARE(fake.count(signInPath), 2);
        QCOMPARE(client.authToken(), QStringLiteral("new"));
        QCOMPARE(client.refreshToken(), QStringLiteral("new-r"));
    }

    void signOutClearsAtOnceWhileTheServerIsSlow()
    {
        FakeDeployment fake;
        fake.answer(QStringLiteral("auth:signOut"), Answer::text(500, "slow and broken").heldBack());
        ConvexClient client(fake.url());
        client.setTokens(QStringLiteral("held"), QStringLiteral("held-r"));
        QSignalSpy answered(&fake, &FakeDeployment::answered);

        client.signOut();
        QVERIFY(!client.authToken());
        QVERIFY(!client.refreshToken());

        QTRY_COMPARE_WITH_TIMEOUT(fake.heldCount(), 1, 20000);
        const auto request = fake.requestsFor(QStringLiteral("auth:signOut")).first();
        QCOMPARE(request.target, QByteArray("/api/action"));
        QCOMPARE(request.header("Authorization"), QByteArray("Bearer held"));
        QCOMPARE(request.args(), QJsonObject());
        // A new session started meanwhile is not touched by the late failure.
        client.setTokens(QStringLiteral("next"), QStringLiteral("next-r"));
        fake.releaseHeld();
        QTRY_COMPARE_WITH_TIMEOUT(answered.size(), 1, 20000);
        QTest::qWait(100); // let the client take the answer in
        QCOMPARE(client.authToken(), QStringLiteral("next"));
        QCOMPARE(client.refreshToken(), QStringLiteral("next-r"));
        QCOMPARE(fake.count(signInPath), 0);
    }

    void signOutWhileSignedOutSendsNothing()
    {
        FakeDeployment fake;
        ConvexClient client(fake.url());
        client.signOut();
        client.setTokens(std::nullopt, QStringLiteral("orphan-refresh"));
        client.signOut();
        QVERIFY(!client.refreshToken());
        QTest::qWait(200);
        QVERIFY(fake.requests().isEmpty());
    }

    void lateRefreshDoesNotUndoASignOut()
    {
        FakeDeployment fake;
        acceptOnly(fake, "resurrected");
        fake.answer(
            signInPath,
            Answer::issued(QStringLiteral("resurrected"), QStringLiteral("resurrected-r")).heldBack());
        fake.answer(QStringLiteral("auth:signOut"), Answer::success(QJsonValue()));
        ConvexClient client(fake.url());
        client.setTokens(QStringLiteral("old"), QStringLiteral("old-r"));
        QSignalSpy refreshed(&client, &ConvexClient::tokensRefreshed);

        auto call = startTask(client.getActiveDeck());
        QTRY_COMPARE_WITH_TIMEOUT(fake.heldCount(), 1, 20000);
        client.signOut();
        fake.releaseHeld();
        QTRY_VERIFY_WITH_TIMEOUT(call->finished, 20000);

        QVERIFY(!client.authToken());
        QVERIFY(!client.refreshToken());
        QCOMPARE(refreshed.size(), 0);
        // The repeat went out signed out and met 401 again.
        QCOMPARE(call->description(), QStringLiteral("Server error (401): Unauthenticated"));
    }

    void tokenPairIsReadAsOneUnit()
    {
        ConvexClient client(QUrl(QStringLiteral("http://127.0.0.1:9")));
        std::atomic<bool> stop{false};
        std::atomic<int> torn{0};
        std::thread reader([&] {
            while (!stop) {
                const ConvexClient::TokenPair pair = client.tokenPair();
                if (pair.authToken.has_value() != pair.refreshToken.has_value() ||
                    (pair.authToken && pair.authToken->mid(1) != pair.refreshToken->mid(1)))
                    ++torn;
            }
        });
        for (int i = 0; i < 20000; ++i) {
            if (i % 7 == 0)
                client.setTokens(std::nullopt, std::nullopt);
            else
                client.setTokens(QLatin1Char('a') + QString::number(i),
                                 QLatin1Char('r') + QString::number(i));
        }
        stop = true;
        reader.join();
        QCOMPARE(torn.load(), 0);
    }
};

QTEST_GUILESS_MAIN(TokenRefreshTest)
#include "TokenRefreshTest.moc"
