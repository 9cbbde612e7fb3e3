#include "SessionRig.h"
#include "TaskOutcome.h"
#include "TestSupport.h"

#include <QSignalSpy>

using Answer = FakeDeployment::Answer;

class SessionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void oneStoredItemIsNotASession_data()
    {
        QTest::addColumn<bool>("tokenStored");
        QTest::addColumn<QStringList>("expectedLoads");
        QTest::newRow("only the access token")
            << true
            << QStringList{QStringLiteral("load ") + AuthManager::tokenKey,
                           QStringLiteral("load ") + AuthManager::refreshTokenKey};
        QTest::newRow("only the refresh token")
            << false << QStringList{QStringLiteral("load ") + AuthManager::tokenKey};
    }

    void oneStoredItemIsNotASession()
    {
        QFETCH(bool, tokenStored);
        QFETCH(QStringList, expectedLoads);
        SessionRig rig;
        rig.store.setDeferred(true);
        if (tokenStored)
            rig.store.put(rig.service(), rig.tokenKey(), QStringLiteral("t1"));
        else
            rig.store.put(rig.service(), rig.refreshKey(), QStringLiteral("r1"));

        AuthManager &session = rig.start();
        QVERIFY(!session.isRestored());
        QSignalSpy restored(&session, &AuthManager::restored);
        QVERIFY(restored.wait(20000));
        QTRY_VERIFY_WITH_TIMEOUT(session.isStartupFinished(), 20000);

        QVERIFY(!session.isAuthenticated());
        QCOMPARE(rig.store.itemCount(), 1);
        QCOMPARE(rig.store.operations(), expectedLoads);
        QVERIFY(rig.server.requests().isEmpty());
        QCOMPARE(rig.client.authToken(), std::nullopt);
    }

    void restoredSessionIsRefreshedAndKept()
    {
        SessionRig rig;
        rig.store.setDeferred(true);
        rig.storePair(QStringLiteral("t1"), QStringLiteral("r1"));
        rig.answerSignIn(QStringLiteral("t2"), QStringLiteral("r2"));
        rig.answerEmail(QStringLiteral("ana@example.com"));

        AuthManager &session = rig.start();
        QSignalSpy authChanges(&session, &AuthManager::isAuthenticatedChanged);
        QSignalSpy accountChanges(&session, &AuthManager::accountChanged);
        QCoro::waitFor(session.untilRestored());
        QVERIFY(session.isAuthenticated());
        QCOMPARE(rig.client.refreshToken(), std::optional<QString>(QStringLiteral("r1")));

        QCoro::waitFor(session.untilStartupFinished());
        QVERIFY(session.isAuthenticated());
        QCOMPARE(authChanges.count(), 1); // up once, never down
        QCOMPARE(accountChanges.count(), 0);
        QCOMPARE(rig.storedToken(), std::optional<QString>(QStringLiteral("t2")));
        QCOMPARE(rig.storedRefreshToken(), std::optional<QString>(QStringLiteral("r2")));
        QCOMPARE(rig.client.authToken(), std::optional<QString>(QStringLiteral("t2")));
        QCOMPARE(session.userEmail(), std::optional<QString>(QStringLiteral("ana@example.com")));
        QCOMPARE(session.property("userEmail").toString(), QStringLiteral("ana@example.com"));

        // The refresh sent the stored refresh token; the e-mail query the new access token.
        const auto refresh = rig.server.requestsFor(QStringLiteral("auth:signIn"));
        QCOMPARE(refresh.size(), 1);
        QCOMPARE(refresh.first().args().value(QStringLiteral("refreshToken")).toString(),
                 QStringLiteral("r1"));
        const auto user = rig.server.requestsFor(QStringLiteral("users:getCurrentUser"));
        QCOMPARE(user.size(), 1);
        QCOMPARE(user.first().header("Authorization"), QByteArray("Bearer t2"));

        // Written once, refresh token first: cut short between the two writes,
        // the store still holds a refresh token the server honours.
        const QStringList saves = rig.store.operations().filter(QStringLiteral("save "));
        QCOMPARE(saves, (QStringList{QStringLiteral("save %1=r2").arg(AuthManager::refreshTokenKey),
                                     QStringLiteral("save %1=t2").arg(AuthManager::tokenKey)}));
    }

    // What the start-up refresh's answer does to a stored session. Only the
    // server's refusal ends it; everything else keeps it, tries again with
    // growing waits and fetches the e-mail address once the deployment answers.
    void startupRefreshAnswer_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<bool>("endsSession");
        QTest::addColumn<bool>("serverGone");
        QTest::addColumn<int>("requestTimeoutMs"); // 0: the default

        const auto refused = [](const char *name, Answer answer) {
            QTest::newRow(name) << answer << true << false << 0;
        };
        refused("HTTP 400", Answer::text(400, "bad request"));
        refused("HTTP 401", Answer::text(401, "Unauthenticated"));
        refused("HTTP 403", Answer::text(403, "forbidden"));
        refused("HTTP 404", Answer::text(404, "no such function"));
        refused("HTTP 422", Answer::text(422, "invalid"));
        refused("error envelope", Answer::error(QStringLiteral("Invalid refresh token")));
        refused("error envelope without message", Answer::error());
        refused("no tokens issued", Answer::noTokens());
        refused("success without value", Answer::successWithoutValue());

        const auto kept = [](const char *name, Answer answer, bool serverGone = false, int timeoutMs = 0) {
            QTest::newRow(name) << answer << false << serverGone << timeoutMs;
        };
        kept("HTTP 408", Answer::text(408, "request timeout"));
        kept("HTTP 429", Answer::text(429, "slow down"));
        kept("HTTP 500", Answer::text(500, "internal"));
        kept("HTTP 502", Answer::text(502, "bad gateway"));
        kept("HTTP 503", Answer::text(503, "unavailable"));
        kept("HTTP 511 (captive portal)", Answer::text(511, "<html>log in</html>", "text/html"));
        Answer redirect = Answer::text(302, "");
        redirect.extraHeaders.append(FakeDeployment::Header("Location", "http://127.0.0.1:9/portal"));
        kept("redirect elsewhere (captive portal)", redirect);
        kept("a page instead of an envelope", Answer::text(200, "<html>Wi-Fi login</html>", "text/html"));
        kept("unknown envelope status",
             Answer::envelope(QJsonObject{{QStringLiteral("status"), QStringLiteral("pending")}}));
        kept("connection dropped", Answer::dropped());
        kept("nothing listening", Answer::dropped(), true);
        kept("no answer in time", Answer::dropped().heldBack(), false, 300);
    }

    void startupRefreshAnswer()
    {
        QFETCH(Answer, answer);
        QFETCH(bool, endsSession);
        QFETCH(bool, serverGone);
        QFETCH(int, requestTimeoutMs);
        SessionRig rig;
        if (requestTimeoutMs > 0)
            rig.client.setRequestTimeout(std::chrono::milliseconds(requestTimeoutMs));
        rig.storePair(QStringLiteral("t1"), QStringLiteral("r1"));
        rig.server.answer(QStringLiteral("auth:signIn"), answer);
        if (endsSession)
            rig.answerEmail(QStringLiteral("ana@example.com"));
        else // the deployment is out of reach for the e-mail query too
            rig.server.answer(QStringLiteral("users:getCurrentUser"), Answer::dropped());
        if (serverGone)
            rig.server.stopListening();

        QVERIFY(rig.startAndSettle());
        AuthManager &session = *rig.manager;
        QCOMPARE(session.userEmail(), std::nullopt);
        QVERIFY(!session.hasError());
        if (endsSession) {
            QVERIFY(!session.isAuthenticated());
            QTRY_COMPARE_WITH_TIMEOUT(rig.store.itemCount(), 0, 20000);
            QCOMPARE(rig.client.authToken(), std::nullopt);
            QCOMPARE(rig.client.refreshToken(), std::nullopt);
            // The server-side sign-out went out with the token that was held, once.
            QTRY_COMPARE_WITH_TIMEOUT(rig.server.count(QStringLiteral("auth:signOut")), 1, 20000);
            QCOMPARE(rig.server.requestsFor(QStringLiteral("auth:signOut")).first().header("Authorization"),
                     QByteArray("Bearer t1"));
            QCOMPARE(rig.server.count(QStringLiteral("auth:signIn")), 1);
            QVERIFY(rig.retryWaits->running().isEmpty());
            return;
        }

        QVERIFY(session.isAuthenticated());
        QCOMPARE(rig.storedToken(), std::optional<QString>(QStringLiteral("t1")));
        QCOMPARE(rig.storedRefreshToken(), std::optional<QString>(QStringLiteral("r1")));
        QCOMPARE(rig.client.authToken(), std::optional<QString>(QStringLiteral("t1")));
        QCOMPARE(rig.client.refreshToken(), std::optional<QString>(QStringLiteral("r1")));
        QCOMPARE(rig.server.count(QStringLiteral("auth:signOut")), 0);

        // Tried again after about a second; the deployment is back by then.
        QCOMPARE(rig.retryWaits->running().size(), 1);
        const qint64 wait = rig.retryWaits->running().first()->duration().count();
        QVERIFY2(wait >= 500 && wait <= 1500, qPrintable(QString::number(wait)));
        if (serverGone)
            QVERIFY(rig.server.resumeListening());
        rig.answerSignIn(QStringLiteral("t2"), QStringLiteral("r2"));
        rig.answerEmail(QStringLiteral("ana@example.com"));
        rig.retryWaits->running().first()->finish();
        QTRY_COMPARE_WITH_TIMEOUT(session.userEmail(),
                                  std::optional<QString>(QStringLiteral("ana@example.com")), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.storedRefreshToken(), std::optional<QString>(QStringLiteral("r2")),
                                  20000);
        QCOMPARE(rig.storedToken(), std::optional<QString>(QStringLiteral("t2")));
        QCOMPARE(
            rig.server.requestsFor(QStringLiteral("users:getCurrentUser")).last().header("Authorization"),
            QByteArray("Bearer t2"));
        QVERIFY(session.isAuthenticated());
        QVERIFY(rig.retryWaits->running().isEmpty());
    }

    // Offline at start, then back: the retries grow, and a sign-out stops them.
    void startupRetriesGrowAndStopAtSignOut()
    {
        SessionRig rig;
        rig.storePair(QStringLiteral("t1"), QStringLiteral("r1"));
        rig.server.answer(QStringLiteral("auth:signIn"), Answer::text(503, "unavailable"));
        rig.answerEmail(QStringLiteral("ana@example.com"));
        QVERIFY(rig.startAndSettle());
        // The deployment answered the e-mail query: only the refresh is tried again.
        QCOMPARE(rig.manager->userEmail(), std::optional<QString>(QStringLiteral("ana@example.com")));
        QList<qint64> waits;
        for (int attempt = 2; attempt <= 4; ++attempt) {
            QTRY_COMPARE_WITH_TIMEOUT(rig.retryWaits->running().size(), 1, 20000);
            waits.append(rig.retryWaits->running().first()->duration().count());
            rig.retryWaits->running().first()->finish();
            QTRY_COMPARE_WITH_TIMEOUT(rig.server.count(QStringLiteral("auth:signIn")), attempt, 20000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(rig.retryWaits->running().size(), 1, 20000);
        for (int i = 0; i < waits.size(); ++i) {
            const qint64 nominal = 1000 << i;
            QVERIFY2(waits[i] >= nominal / 2 && waits[i] <= nominal * 3 / 2,
                     qPrintable(QString::number(waits[i])));
        }
        QCOMPARE(rig.server.count(QStringLiteral("users:getCurrentUser")), 1);

        const auto pending = rig.retryWaits->running().first();
        rig.manager->signOut();
        QVERIFY(pending->isCancelled());
        QTRY_COMPARE_WITH_TIMEOUT(rig.store.itemCount(), 0, 20000);
        QCOMPARE(rig.server.count(QStringLiteral("auth:signIn")), 4);
    }

    void userWithoutAddress_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::newRow("no email member")
            << Answer::success(QJsonObject{{QStringLiteral("_id"), QStringLiteral("u1")}});
        QTest::newRow("email null") << Answer::success(QJsonObject{{QStringLiteral("email"), QJsonValue()}});
        QTest::newRow("no user") << Answer::success(QJsonValue());
        QTest::newRow("malformed") << Answer::success(QJsonObject{{QStringLiteral("email"), 42}});
    }

    void userWithoutAddress()
    {
        QFETCH(Answer, answer);
        SessionRig rig;
        rig.storePair(QStringLiteral("t1"), QStringLiteral("r1"));
        rig.answerSignIn(QStringLiteral("t2"), QStringLiteral("r2"));
        rig.server.answer(QStringLiteral("users:getCurrentUser"), answer);
        QVERIFY(rig.startAndSettle());
        QVERIFY(rig.manager->isAuthenticated());
        QCOMPARE(rig.manager->userEmail(), std::nullopt);
        QCOMPARE(rig.manager->property("userEmail").toString(), QString());
    }

    void signingOutTwice()
    {
        SessionRig rig;
        QVERIFY(rig.startSignedIn());
        AuthManager &session = *rig.manager;
        QSignalSpy accountChanges(&session, &AuthManager::accountChanged);
        QSignalSpy authChanges(&session, &AuthManager::isAuthenticatedChanged);
        QSignalSpy emailChanges(&session, &AuthManager::userEmailChanged);

        session.signOut();
        QVERIFY(!session.isAuthenticated());
        QCOMPARE(session.userEmail(), std::nullopt);
        QCOMPARE(rig.client.authToken(), std::nullopt);
        QCOMPARE(accountChanges.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(rig.store.itemCount(), 0, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.server.count(QStringLiteral("auth:signOut")), 1, 20000);
        QCOMPARE(rig.server.requestsFor(QStringLiteral("auth:signOut")).first().header("Authorization"),
                 QByteArray("Bearer t2"));

        rig.store.clearOperations();
        session.signOut();
        QVERIFY(!session.isAuthenticated());
        QCOMPARE(authChanges.count(), 1);
        QCOMPARE(emailChanges.count(), 1);
        QCOMPARE(accountChanges.count(), 2); // the sync connection is told every time
        QTRY_COMPARE_WITH_TIMEOUT(rig.store.operations().size(), 2, 20000);
        QCOMPARE(rig.store.operations(),
                 (QStringList{QStringLiteral("remove ") + AuthManager::tokenKey,
                              QStringLiteral("remove ") + AuthManager::refreshTokenKey}));
        QCOMPARE(rig.server.count(QStringLiteral("auth:signOut")), 1);
    }

    void signOutKeepsTheSignInError()
    {
        SessionRig rig;
        rig.server.answer(QStringLiteral("users:redeemMacLinkCode"),
                          Answer::error(QStringLiteral("expired")));
        QVERIFY(rig.startAndSettle());
        AuthManager &session = *rig.manager;
        QVERIFY(awaitTask(session.signInWithLinkCodeTask(QStringLiteral("ABCD1234"))).succeeded());
        QVERIFY(session.hasError());
        const QString text = session.errorText();
        session.signOut();
        QCOMPARE(session.errorText(), text);
        QVERIFY(!session.isLoading());
    }

    void refreshesMadeByTheClientAreKept()
    {
        SessionRig rig;
        rig.store.setDeferred(true);
        QVERIFY(rig.startSignedIn());
        QVERIFY(awaitTask(rig.manager->finishPendingWrites()).succeeded());
        QCOMPARE(rig.storedRefreshToken(), std::optional<QString>(QStringLiteral("r2")));

        // A call meets 401; the client refreshes by itself and repeats the call.
        rig.server.answerOnce(QStringLiteral("decks:getActiveDeck"), Answer::text(401, "expired"));
        rig.server.answer(QStringLiteral("decks:getActiveDeck"),
                          Answer::success(deckJson(QStringLiteral("d1"), QStringLiteral("Swedish"))));
        rig.answerSignIn(QStringLiteral("t3"), QStringLiteral("r3"));
        rig.store.clearOperations();
        rig.store.setDeferred(true, 100); // a slow store
        QVERIFY(awaitTask(rig.client.getActiveDeck()).succeeded());
        // At exit the program waits for the writes still under way.
        QVERIFY(awaitTask(rig.manager->finishPendingWrites()).succeeded());
        QVERIFY(!rig.manager->hasPendingWrites());
        QCOMPARE(rig.store.operations(),
                 (QStringList{QStringLiteral("save %1=r3").arg(AuthManager::refreshTokenKey),
                              QStringLiteral("save %1=t3").arg(AuthManager::tokenKey)}));

        // So does the sync connection after an authentication error.
        rig.answerSignIn(QStringLiteral("t4"), QStringLiteral("r4"));
        QVERIFY(awaitTask(rig.client.refreshSession()).succeeded());
        QVERIFY(awaitTask(rig.manager->finishPendingWrites()).succeeded());
        QCOMPARE(rig.storedRefreshToken(), std::optional<QString>(QStringLiteral("r4")));
        QCOMPARE(rig.storedToken(), std::optional<QString>(QStringLiteral("t4")));
        QVERIFY(rig.manager->isAuthenticated());
    }

    // Two calls meet 401 at once and both refreshes are refused: the session
    // ends, once.
    void refusedRefreshAfter401EndsTheSessionOnce()
    {
        LogCapture log;
        SessionRig rig;
        QVERIFY(rig.startSignedIn());
        AuthManager &session = *rig.manager;
        QSignalSpy accountChanges(&session, &AuthManager::accountChanged);
        QSignalSpy authChanges(&session, &AuthManager::isAuthenticatedChanged);
        rig.server.answer(QStringLiteral("decks:getActiveDeck"), Answer::text(401, "expired"));
        rig.server.answer(QStringLiteral("auth:signIn"),
                          Answer::text(400, "Invalid refresh token").heldBack());

        auto first = startTask(rig.client.getActiveDeck());
        auto second = startTask(rig.client.getActiveDeck());
        QTRY_COMPARE_WITH_TIMEOUT(rig.server.heldCount(), 2, 20000);
        QVERIFY(session.isAuthenticated());
        rig.server.releaseHeld();
        QTRY_VERIFY_WITH_TIMEOUT(first->finished && second->finished, 20000);
        QCOMPARE(first->description(), QStringLiteral("Server error (400): Invalid refresh token"));

        QVERIFY(!session.isAuthenticated());
        QCOMPARE(authChanges.size(), 1);
        QCOMPARE(accountChanges.size(), 1);
        QCOMPARE(rig.client.refreshToken(), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(rig.store.itemCount(), 0, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.server.count(QStringLiteral("auth:signOut")), 1, 20000);
        QCOMPARE(log.lines(LogChannel::Shell),
                 QStringList{QStringLiteral("[Vocarta] The server ended the session; sign in again.")});
    }

    void startupRefreshOvertakenByAnotherIsNotStored()
    {
        SessionRig rig;
        rig.storePair(QStringLiteral("t1"), QStringLiteral("r1"));
        rig.server.answerOnce(QStringLiteral("auth:signIn"),
                              Answer::issued(QStringLiteral("t2"), QStringLiteral("r2")).heldBack());
        rig.answerSignIn(QStringLiteral("t3"), QStringLiteral("r3"));
        rig.answerEmail(QStringLiteral("ana@example.com"));
        AuthManager &session = rig.start();
        QTRY_COMPARE_WITH_TIMEOUT(rig.server.heldCount(), 1, 20000);

        // The sync connection refreshes the same pair and is answered first.
        QVERIFY(awaitTask(rig.client.refreshSession()).succeeded());
        QTRY_COMPARE_WITH_TIMEOUT(rig.storedRefreshToken(), std::optional<QString>(QStringLiteral("r3")),
                                  20000);

        // The start-up refresh's late answer is dropped by the client and not stored.
        QCOMPARE(rig.server.releaseHeld(), 1);
        QCoro::waitFor(session.untilStartupFinished());
        QCOMPARE(rig.client.refreshToken(), std::optional<QString>(QStringLiteral("r3")));
        QCOMPARE(rig.storedToken(), std::optional<QString>(QStringLiteral("t3")));
        QCOMPARE(rig.storedRefreshToken(), std::optional<QString>(QStringLiteral("r3")));
        QVERIFY(session.isAuthenticated());
    }

    void signOutWhileASignInIsBeingStoredWins()
    {
        SessionRig rig;
        rig.store.setDeferred(true, 30);
        rig.server.answer(QStringLiteral("users:redeemMacLinkCode"),
                          Answer::success(SessionRig::tokens(QStringLiteral("t1"), QStringLiteral("r1"))));
        rig.answerEmail(QStringLiteral("ana@example.com"));
        QVERIFY(rig.startAndSettle());
        AuthManager &session = *rig.manager;
        bool signedOut = false;
        rig.store.onOperationStarted = [&](const QString &operation) {
            if (!signedOut && operation.startsWith(QStringLiteral("save "))) {
                signedOut = true;
                session.signOut();
            }
        };
        QVERIFY(awaitTask(session.signInWithLinkCodeTask(QStringLiteral("ABCD1234"))).succeeded());
        QVERIFY(signedOut);
        QTRY_COMPARE_WITH_TIMEOUT(rig.store.operations().filter(QStringLiteral("remove ")).size(), 2, 20000);
        QCOMPARE(rig.store.itemCount(), 0);
        QVERIFY(!session.isAuthenticated());
        QCOMPARE(rig.client.authToken(), std::nullopt);
        QCOMPARE(session.userEmail(), std::nullopt);
        QVERIFY(!session.isLoading());
    }

    // While a link code's new pair is being stored the client still holds
    // the old one, and its refresh is answered: neither a refusal nor a new
    // pair for the replaced session may touch the new one.
    void answerForTheReplacedPairLeavesTheSignInBeingStored_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::newRow("refused") << Answer::text(400, "Invalid refresh token");
        QTest::newRow("refreshed") << Answer::issued(QStringLiteral("t9"), QStringLiteral("r9"));
    }

    void answerForTheReplacedPairLeavesTheSignInBeingStored()
    {
        QFETCH(Answer, answer);
        SessionRig rig;
        QVERIFY(rig.startSignedIn());
        AuthManager &session = *rig.manager;
        rig.store.setDeferred(true, 2000);
        rig.server.answer(QStringLiteral("users:redeemMacLinkCode"),
                          Answer::success(SessionRig::tokens(QStringLiteral("t3"), QStringLiteral("r3"))));
        rig.server.answer(QStringLiteral("auth:signIn"), answer);
        std::shared_ptr<TaskOutcome<AuthTokens>> refresh;
        rig.store.onOperationStarted = [&](const QString &operation) {
            if (!refresh && operation.startsWith(QStringLiteral("save ")))
                refresh = startTask(rig.client.refreshSession());
        };
        QVERIFY(awaitTask(session.signInWithLinkCodeTask(QStringLiteral("ABCD1234"))).succeeded());
        rig.store.onOperationStarted = nullptr;
        QVERIFY(refresh && refresh->finished);
        QVERIFY(session.isAuthenticated());
        QCOMPARE(rig.client.refreshToken(), std::optional<QString>(QStringLiteral("r3")));
        QVERIFY(awaitTask(session.finishPendingWrites()).succeeded());
        QCOMPARE(rig.storedRefreshToken(), std::optional<QString>(QStringLiteral("r3")));
    }
};

QTEST_GUILESS_MAIN(SessionTest)
#include "SessionTest.moc"
