// The one request path: how a call looks on the wire, and what every kind of
// answer becomes for the caller.

#include "backend/ConvexClient.h"
#include "backend/TransportError.h"

#include "FakeDeployment.h"
#include "TaskOutcome.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTest>

using Answer = FakeDeployment::Answer;
using namespace std::chrono_literals;

class CallProtocolTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void authenticatedCallCarriesTheBearerToken()
    {
        FakeDeployment fake;
        fake.answer(QStringLiteral("decks:setActiveDeck"), Answer::success(QJsonValue()));
        ConvexClient client(fake.url());
        client.setTokens(QStringLiteral("tok-1"), QStringLiteral("ref-1"));

        QVERIFY(awaitTask(client.setActiveDeck(QStringLiteral("deck-9"))).succeeded());

        QCOMPARE(fake.requests().size(), 1);
        const FakeDeployment::Request request = fake.requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.target, QByteArray("/api/mutation"));
        QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(request.header("Authorization"), QByteArray("Bearer tok-1"));
        // Compact JSON with exactly the three members.
        QVERIFY(!request.body.contains('\n'));
        QVERIFY(!request.body.contains(": "));
        const QJsonObject expected{
            {QStringLiteral("path"), QStringLiteral("decks:setActiveDeck")},
            {QStringLiteral("args"), QJsonObject{{QStringLiteral("deckId"), QStringLiteral("deck-9")}}},
            {QStringLiteral("format"), QStringLiteral("json")}};
        QCOMPARE(request.json(), expected);
    }

    void noAuthorizationHeaderWithoutTokenOrForUnauthenticatedCalls()
    {
        FakeDeployment fake;
        fake.answer(QStringLiteral("decks:setActiveDeck"), Answer::success(QJsonValue()));
        fake.answer(QStringLiteral("users:redeemMacLinkCode"),
                    Answer::success(QJsonObject{{QStringLiteral("token"), QStringLiteral("t")},
                                                {QStringLiteral("refreshToken"), QStringLiteral("r")}}));
        ConvexClient client(fake.url());

        // Authenticated but signed out: sent anyway, without the header.
        QVERIFY(awaitTask(client.setActiveDeck(QStringLiteral("d"))).succeeded());
        // Unauthenticated while signed in: the token stays home.
        client.setTokens(QStringLiteral("tok"), QStringLiteral("ref"));
        QVERIFY(awaitTask(client.redeemMacLinkCode(QStringLiteral("ABCD2345"))).succeeded());

        QCOMPARE(fake.requests().size(), 2);
        for (const auto &request : fake.requests())
            QVERIFY(!request.hasHeader("Authorization"));
    }

    void tokenWithLineBreaksIsNeverSent()
    {
        FakeDeployment fake;
        fake.answer(QStringLiteral("decks:setActiveDeck"), Answer::success(QJsonValue()));
        ConvexClient client(fake.url());
        client.setTokens(QStringLiteral("tok\r\nX-Injected: 1"), QStringLiteral("ref"));
        const auto outcome = awaitTask(client.setActiveDeck(QStringLiteral("d")));
        QCOMPARE(outcome.description(), QStringLiteral("Auth failed: Malformed access token"));
        QTest::qWait(100);
        QVERIFY(fake.requests().isEmpty());
    }

    // The bearer token and the refresh token travel only to the deployment: a
    // redirect to any other origin (another port is one) is not followed;
    // one within the deployment is.
    void redirectsStayWithinTheDeployment()
    {
        FakeDeployment home;
        FakeDeployment elsewhere;
        const QByteArray away = elsewhere.url().toEncoded() + "/api/action";
        home.setHandler([away](const FakeDeployment::Request &request) -> std::optional<Answer> {
            if (request.target == "/api/moved")
                return Answer::success(QJsonValue());
            Answer redirect = Answer::text(307, "");
            const QByteArray target = request.functionPath() == QLatin1String("decks:setActiveDeck")
                                          ? QByteArray("/api/moved")
                                          : away;
            redirect.extraHeaders.append(FakeDeployment::Header("Location", target));
            return redirect;
        });
        ConvexClient client(home.url());
        client.setTokens(QStringLiteral("tok-1"), QStringLiteral("ref-1"));

        const auto deck = awaitTask(client.getActiveDeck());
        QVERIFY(!deck.succeeded());
        QVERIFY2(deck.failure<TransportError>(), qPrintable(deck.description()));
        const auto refresh = awaitTask(client.refreshSession());
        QVERIFY2(refresh.failure<TransportError>(), qPrintable(refresh.description()));
        QCOMPARE(home.requests().size(), 2);
        QCOMPARE(elsewhere.connectionsAccepted(), 0);
        QCOMPARE(client.refreshToken(), std::optional<QString>(QStringLiteral("ref-1")));

        // Within the deployment the call goes on, token and body included.
        QVERIFY(awaitTask(client.setActiveDeck(QStringLiteral("d"))).succeeded());
        const FakeDeployment::Request moved = home.requests().last();
        QCOMPARE(moved.target, QByteArray("/api/moved"));
        QCOMPARE(moved.header("Authorization"), QByteArray("Bearer tok-1"));
        QCOMPARE(moved.functionPath(), QStringLiteral("decks:setActiveDeck"));
        QCOMPARE(elsewhere.connectionsAccepted(), 0);
    }

    void answers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("emptyResult"); // setActiveDeck (empty) or getActiveDeck (a Deck)
        QTest::addColumn<QString>("outcome");  // "ok", "decoding", or the ConvexError description

        const QByteArray deck = R"({"_id":"d1","name":"N","langFrom":"en","langTo":"es"})";
        QTest::newRow("deck") << 200 << R"({"status":"success","value":)" + deck + "}" << false << "ok";
        QTest::newRow("null value, record") << 200 << QByteArray(R"({"status":"success","value":null})")
                                            << false << "Server error (200): Null response";
        QTest::newRow("null value, empty")
            << 200 << QByteArray(R"({"status":"success","value":null})") << true << "ok";
        QTest::newRow("no value, record")
            << 200 << QByteArray(R"({"status":"success"})") << false << "Server error (200): Null response";
        QTest::newRow("no value, empty") << 200 << QByteArray(R"({"status":"success"})") << true << "ok";
        QTest::newRow("string value, empty")
            << 200 << QByteArray(R"({"status":"success","value":"id"})") << true << "ok";
        QTest::newRow("error with message")
            << 200 << QByteArray(R"({"status":"error","errorMessage":"No deck"})") << false
            << "Server error (200): No deck";
        QTest::newRow("error without message")
            << 200 << QByteArray(R"({"status":"error"})") << true << "Server error (200): Unknown error";
        QTest::newRow("unknown status") << 200 << QByteArray(R"({"status":"pending"})") << true
                                        << "Server error (200): Unknown status: pending";
        QTest::newRow("wrong value shape")
            << 200 << QByteArray(R"({"status":"success","value":[1]})") << false << "decoding";
        QTest::newRow("not json") << 200 << QByteArray("<html>hi</html>") << true << "decoding";
        QTest::newRow("empty 200") << 200 << QByteArray() << true << "decoding";
        QTest::newRow("status not a string") << 200 << QByteArray(R"({"status":1})") << true << "decoding";
        QTest::newRow("500 text") << 500 << QByteArray("Internal failure") << true
                                  << "Server error (500): Internal failure";
        QTest::newRow("500 not utf-8")
            << 500 << QByteArray("\xff\xfe\x80oops") << true << "Server error (500): Unknown error";
        QTest::newRow("500 utf-8 text") << 500 << QByteArray("Übel – ошибка") << true
                                        << QString::fromUtf8("Server error (500): Übel – ошибка");
        QTest::newRow("204 empty") << 204 << QByteArray() << true << "Server error (204): ";
        QTest::newRow("201 envelope") << 201 << QByteArray(R"({"status":"success"})") << true
                                      << R"(Server error (201): {"status":"success"})";
        QTest::newRow("401 without refresh token")
            << 401 << QByteArray("expired") << true << "Server error (401): expired";
        QTest::newRow("404") << 404 << QByteArray("No such function") << false
                             << "Server error (404): No such function";
    }

    void answers()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, emptyResult);
        QFETCH(QString, outcome);

        FakeDeployment fake;
        const QString path =
            emptyResult ? QStringLiteral("decks:setActiveDeck") : QStringLiteral("decks:getActiveDeck");
        fake.answer(path, Answer::text(status, body, "application/json"));
        ConvexClient client(fake.url());
        client.setTokens(QStringLiteral("tok"), std::nullopt);

        std::exception_ptr error;
        QString failureText;
        bool finished = false;
        if (emptyResult) {
            const auto result = awaitTask(client.setActiveDeck(QStringLiteral("d")));
            finished = result.finished;
            error = result.error;
            failureText = result.description();
        } else {
            const auto result = awaitTask(client.getActiveDeck());
            finished = result.finished;
            error = result.error;
            failureText = result.description();
            if (result.succeeded())
                QCOMPARE(result.value->id(), QStringLiteral("d1"));
        }
        QVERIFY(finished);
        QCOMPARE(fake.requests().size(), 1);
        if (outcome == QLatin1String("ok")) {
            QVERIFY2(!error, qPrintable(failureText));
        } else if (outcome == QLatin1String("decoding")) {
            TaskOutcome<void> probe;
            probe.error = error;
            QVERIFY2(probe.failure<DecodingError>(), qPrintable(failureText));
        } else {
            TaskOutcome<void> probe;
            probe.error = error;
            const auto convexError = probe.failure<ConvexError>();
            QVERIFY2(convexError, qPrintable(failureText));
            QCOMPARE(convexError->kind(), ConvexError::Kind::ServerError);
            QCOMPARE(convexError->description(), outcome);
        }
    }

    void transportFailures_data()
    {
        QTest::addColumn<QByteArray>("how");
        QTest::newRow("dropped") << QByteArray("dropped");
        QTest::newRow("refused") << QByteArray("refused");
        QTest::newRow("truncated body") << QByteArray("truncated");
        QTest::newRow("not http") << QByteArray("garbage");
    }

    void transportFailures()
    {
        QFETCH(QByteArray, how);
        FakeDeployment fake;
        const QString path = QStringLiteral("decks:getActiveDeck");
        if (how == "dropped")
            fake.answer(path, Answer::dropped());
        else if (how == "refused")
            fake.stopListening();
        else if (how == "truncated")
            fake.answer(path, Answer::rawBytes("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                                               "Content-Length: 400\r\n\r\n{\"status\":\"succ"));
        else
            fake.answer(path, Answer::rawBytes("SSH-2.0-OpenSSH_9.2\r\n\r\n"));
        ConvexClient client(fake.url());
        client.setTokens(QStringLiteral("tok"), QStringLiteral("ref"));

        const auto outcome = awaitTask(client.getActiveDeck());
        QVERIFY(outcome.finished);
        const auto failure = outcome.failure<TransportError>();
        QVERIFY2(failure, qPrintable(outcome.description()));
        QVERIFY(failure->error() != QNetworkReply::NoError);
        QVERIFY(!failure->description().isEmpty());
        // A transport failure is not the server refusing the session: no refresh.
        QCOMPARE(fake.count(QStringLiteral("auth:signIn")), 0);
        QCOMPARE(client.authToken(), QStringLiteral("tok"));
    }

    void slowServerTimesOut()
    {
        FakeDeployment fake;
        fake.answer(QStringLiteral("decks:getActiveDeck"),
                    Answer::success(QJsonObject{{QStringLiteral("_id"), QStringLiteral("d")}}).after(30s));
        ConvexClient client(fake.url());
        QCOMPARE(client.requestTimeout(), std::chrono::milliseconds(60s));
        client.setRequestTimeout(300ms);

        const auto outcome = awaitTask(client.getActiveDeck(), 15000);
        QVERIFY(outcome.finished);
        const auto failure = outcome.failure<TransportError>();
        QVERIFY2(failure, qPrintable(outcome.description()));
        QVERIFY(failure->error() == QNetworkReply::OperationCanceledError ||
                failure->error() == QNetworkReply::TimeoutError);
    }

    void oversizedAnswerIsCutOff()
    {
        FakeDeployment fake;
        QByteArray huge = "{\"status\":\"success\",\"value\":\"";
        huge += QByteArray(ConvexClient::maxAnswerBytes + 1024, 'a');
        huge += "\"}";
        fake.answer(QStringLiteral("users:checkEmailExists"), Answer::text(200, huge, "application/json"));
        ConvexClient client(fake.url());
        const auto outcome = awaitTask(client.checkEmailExists(QStringLiteral("a@b.c")));
        QVERIFY(outcome.finished);
        QVERIFY2(outcome.failure<TransportError>(), qPrintable(outcome.description()));
        QVERIFY(outcome.description().contains(QStringLiteral("larger")));
    }

    // Whatever comes back over the wire, a call ends with a value or a Failure.
    void garbageAnswersEndCleanly()
    {
        FakeDeployment fake;
        QRandomGenerator random(42);
        const QList<int> statuses{200, 200, 200, 401, 500, 204, 302};
        fake.setHandler([&](const FakeDeployment::Request &) -> std::optional<Answer> {
            QByteArray bytes(qsizetype(random.bounded(120)), Qt::Uninitialized);
            for (char &c : bytes)
                c = char(random.bounded(256));
            if (random.bounded(4) == 0)
                return Answer::rawBytes("HTTP/1.1 200 OK\r\n" + bytes);
            if (random.bounded(3) == 0)
                bytes = "{\"status\":\"success\",\"value\":" + bytes.left(random.bounded(10)) + "}";
            return Answer::text(statuses[random.bounded(int(statuses.size()))], bytes, "application/json");
        });
        ConvexClient client(fake.url());
        client.setTokens(QStringLiteral("t"), QStringLiteral("r"));
        for (int round = 0; round < 40; ++round) {
            const auto outcome = awaitTask(
                client.translateWord(QStringLiteral("w"), QStringLiteral("a"), QStringLiteral("b")));
            QVERIFY(outcome.finished);
            if (outcome.error) {
                bool isFailure = false;
                try {
                    std::rethrow_exception(outcome.error);
                } catch (const Failure &) {
                    isFailure = true;
                } catch (...) {
                }
                QVERIFY2(isFailure, qPrintable(outcome.description()));
            }
        }
    }

    void keepAliveConnectionIsReused()
    {
        FakeDeployment fake;
        fake.answer(QStringLiteral("decks:setActiveDeck"), Answer::success(QJsonValue()));
        ConvexClient client(fake.url());
        for (int i = 0; i < 3; ++i)
            QVERIFY(awaitTask(client.setActiveDeck(QString::number(i))).succeeded());
        QCOMPARE(fake.requests().size(), 3);
        QCOMPARE(fake.connectionsAccepted(), 1);
    }
};

QTEST_GUILESS_MAIN(CallProtocolTest)
#include "CallProtocolTest.moc"
