// Each named operation: the server function it calls, with which arguments,
// and what it makes of the answer.

#include "backend/ConvexClient.h"

#include "FakeDeployment.h"
#include "TaskOutcome.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <QTest>

using Answer = FakeDeployment::Answer;

namespace {

QJsonObject tokens(const QString &token, const QString &refresh)
{
    return QJsonObject{{QStringLiteral("token"), token}, {QStringLiteral("refreshToken"), refresh}};
}

} // namespace

class OperationsTest : public QObject {
    Q_OBJECT

    FakeDeployment *fake = nullptr;
    ConvexClient *client = nullptr;

    FakeDeployment::Request onlyRequest()
    {
        if (fake->requests().size() != 1)
            qWarning() << "expected one request, got" << fake->requests().size();
        return fake->requests().value(0);
    }

private Q_SLOTS:
    void init()
    {
        fake = new FakeDeployment;
        QVERIFY(fake->isListening());
        client = new ConvexClient(fake->url());
    }

    void cleanup()
    {
        delete client;
        delete fake;
    }

    void eachOperationCallsItsFunction_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QJsonObject>("args");
        QTest::addColumn<bool>("authenticated");

        QTest::newRow("getActiveDeck")
            << "getActiveDeck" << QByteArray("/api/query") << "decks:getActiveDeck" << QJsonObject() << true;
        QTest::newRow("setActiveDeck")
            << "setActiveDeck" << QByteArray("/api/mutation") << "decks:setActiveDeck"
            << QJsonObject{{QStringLiteral("deckId"), QStringLiteral("d7")}} << true;
        QTest::newRow("translateWord") << "translateWord" << QByteArray("/api/action") << "ai:translateWord"
                                       << QJsonObject{{QStringLiteral("word"), QStringLiteral("perro")},
                                                      {QStringLiteral("langFrom"), QStringLiteral("es")},
                                                      {QStringLiteral("langTo"), QStringLiteral("en")}}
                                       << true;
        QTest::newRow("redeemMacLinkCode")
            << "redeemMacLinkCode" << QByteArray("/api/action") << "users:redeemMacLinkCode"
            << QJsonObject{{QStringLiteral("code"), QStringLiteral("ab12CD34")}} << false;
        QTest::newRow("getCurrentUser") << "getCurrentUser" << QByteArray("/api/query")
                                        << "users:getCurrentUser" << QJsonObject() << true;
        QTest::newRow("createCard")
            << "createCard" << QByteArray("/api/mutation") << "cards:createCard"
            << QJsonObject{{QStringLiteral("deckId"), QStringLiteral("d7")},
                           {QStringLiteral("word"), QStringLiteral("perro")},
                           {QStringLiteral("translation"), QStringLiteral("dog")},
                           {QStringLiteral("phonetic"), QStringLiteral("ˈpe.ro")},
                           {QStringLiteral("exampleSentence"), QStringLiteral("El perro.")},
                           {QStringLiteral("exampleSentenceTranslation"), QStringLiteral("The dog.")},
                           {QStringLiteral("category"), QStringLiteral("noun")}}
            << true;
        QTest::newRow("checkEmailExists")
            << "checkEmailExists" << QByteArray("/api/query") << "users:checkEmailExists"
            << QJsonObject{{QStringLiteral("email"), QStringLiteral("a@b.c")}} << true;
        QTest::newRow("signIn") << "signIn" << QByteArray("/api/action") << "auth:signIn"
                                << QJsonObject{{QStringLiteral("provider"), QStringLiteral("password")},
                                               {QStringLiteral("params"),
                                                QJsonObject{
                                                    {QStringLiteral("email"), QStringLiteral("a@b.c")},
                                                    {QStringLiteral("password"), QStringLiteral("pw")},
                                                    {QStringLiteral("flow"), QStringLiteral("signIn")}}}}
                                << false;
        QTest::newRow("refreshSession")
            << "refreshSession" << QByteArray("/api/action") << "auth:signIn"
            << QJsonObject{{QStringLiteral("refreshToken"), QStringLiteral("ref")},
                           {QStringLiteral("calledBy"), QStringLiteral("refreshSession")}}
            << false;
        QTest::newRow("public action")
            << "public" << QByteArray("/api/action") << "auth:signIn"
            << QJsonObject{{QStringLiteral("provider"), QStringLiteral("google")},
                           {QStringLiteral("params"),
                            QJsonObject{{QStringLiteral("idToken"), QStringLiteral("g")}}}}
            << false;
    }

    void eachOperationCallsItsFunction()
    {
        QFETCH(QString, operation);
        QFETCH(QByteArray, target);
        QFETCH(QString, path);
        QFETCH(QJsonObject, args);
        QFETCH(bool, authenticated);

        // Whatever the answer, the request is what is checked here.
        fake->answer(path, Answer::text(500, "stop"));
        client->setTokens(QStringLiteral("tok"), QStringLiteral("ref"));

        if (operation == QLatin1String("getActiveDeck"))
            awaitTask(client->getActiveDeck());
        else if (operation == QLatin1String("setActiveDeck"))
            awaitTask(client->setActiveDeck(QStringLiteral("d7")));
        else if (operation == QLatin1String("translateWord"))
            awaitTask(
                client->translateWord(QStringLiteral("perro"), QStringLiteral("es"), QStringLiteral("en")));
        else if (operation == QLatin1String("redeemMacLinkCode"))
            awaitTask(client->redeemMacLinkCode(QStringLiteral("ab12CD34")));
        else if (operation == QLatin1String("getCurrentUser"))
            awaitTask(client->getCurrentUser());
        else if (operation == QLatin1String("createCard"))
            awaitTask(client->createCard(QStringLiteral("d7"), QStringLiteral("perro"), QStringLiteral("dog"),
                                         QStringLiteral("ˈpe.ro"), QStringLiteral("El perro."),
                                         QStringLiteral("The dog."), QStringLiteral("noun")));
        else if (operation == QLatin1String("checkEmailExists"))
            awaitTask(client->checkEmailExists(QStringLiteral("a@b.c")));
        else if (operation == QLatin1String("signIn"))
            awaitTask(
                client->signIn(QStringLiteral("a@b.c"), QStringLiteral("pw"), QStringLiteral("signIn")));
        else if (operation == QLatin1String("refreshSession"))
            awaitTask(client->refreshSession());
        else
            awaitTask(client->callActionUnauthenticatedPublic<AuthSignInResponse>(path, args));

        const FakeDeployment::Request request = onlyRequest();
        QCOMPARE(request.target, target);
        QCOMPARE(request.functionPath(), path);
        QCOMPARE(request.args(), args); // exact: no extra members, no "verifier"
        QCOMPARE(request.json().value(QStringLiteral("format")).toString(), QStringLiteral("json"));
        QCOMPARE(request.hasHeader("Authorization"), authenticated);
        if (authenticated)
            QCOMPARE(request.header("Authorization"), QByteArray("Bearer tok"));
    }

    void signInStoresTheIssuedPair()
    {
        fake->answer(QStringLiteral("auth:signIn"),
                     Answer::issued(QStringLiteral("t1"), QStringLiteral("r1")));
        const auto outcome = awaitTask(
            client->signIn(QStringLiteral("a@b.c"), QStringLiteral("pw"), QStringLiteral("signUp")));
        QVERIFY2(outcome.succeeded(), qPrintable(outcome.description()));
        QCOMPARE(outcome.value->token, QStringLiteral("t1"));
        QCOMPARE(client->authToken(), QStringLiteral("t1"));
        QCOMPARE(client->refreshToken(), QStringLiteral("r1"));
    }

    void signInWithoutTokensFailsAndKeepsTheFields()
    {
        client->setTokens(QStringLiteral("old"), QStringLiteral("oldr"));
        fake->answer(QStringLiteral("auth:signIn"), Answer::success(QJsonObject()));
        const auto outcome = awaitTask(
            client->signIn(QStringLiteral("a@b.c"), QStringLiteral("pw"), QStringLiteral("signIn")));
        QCOMPARE(outcome.description(), QStringLiteral("Auth failed: No tokens returned"));
        QCOMPARE(outcome.failure<ConvexError>()->kind(), ConvexError::Kind::AuthFailed);
        QCOMPARE(client->authToken(), QStringLiteral("old"));
        QCOMPARE(client->refreshToken(), QStringLiteral("oldr"));
    }

    void redeemReturnsThePairWithoutStoringIt()
    {
        fake->answer(QStringLiteral("users:redeemMacLinkCode"),
                     Answer::success(tokens(QStringLiteral("t"), QStringLiteral("r"))));
        const auto outcome = awaitTask(client->redeemMacLinkCode(QStringLiteral("ABCD2345")));
        QVERIFY2(outcome.succeeded(), qPrintable(outcome.description()));
        QCOMPARE(*outcome.value, (AuthTokens{QStringLiteral("t"), QStringLiteral("r")}));
        QVERIFY(!client->authToken());
        QVERIFY(!client->refreshToken());

        fake->answer(QStringLiteral("users:redeemMacLinkCode"),
                     Answer::success(QJsonObject{{QStringLiteral("token"), QStringLiteral("t")}}));
        const auto half = awaitTask(client->redeemMacLinkCode(QStringLiteral("ABCD2345")));
        const auto failure = half.failure<DecodingError>();
        QVERIFY2(failure, qPrintable(half.description()));
        QCOMPARE(failure->member(), QStringLiteral("value.refreshToken"));
    }

    void translateWordKeepsOrderAndAcceptsEmpty()
    {
        fake->answerOnce(QStringLiteral("ai:translateWord"), Answer::success(QJsonArray()));
        fake->answerOnce(
            QStringLiteral("ai:translateWord"),
            Answer::success(QJsonArray{translationJson(QStringLiteral("b"), QStringLiteral("2")),
                                       translationJson(QStringLiteral("a"), QStringLiteral("1"))}));
        fake->answerOnce(
            QStringLiteral("ai:translateWord"),
            Answer::success(QJsonArray{translationJson(QStringLiteral("b"), QStringLiteral("2")),
                                       QJsonObject{{QStringLiteral("word"), QStringLiteral("x")}}}));
        fake->answerOnce(QStringLiteral("ai:translateWord"), Answer::success(QJsonObject()));
        client->setTokens(QStringLiteral("tok"), QStringLiteral("ref"));

        const auto empty =
            awaitTask(client->translateWord(QStringLiteral("w"), QStringLiteral("es"), QStringLiteral("en")));
        QVERIFY2(empty.succeeded(), qPrintable(empty.description()));
        QVERIFY(empty.value->isEmpty());

        const auto two =
            awaitTask(client->translateWord(QStringLiteral("w"), QStringLiteral("es"), QStringLiteral("en")));
        QVERIFY2(two.succeeded(), qPrintable(two.description()));
        QCOMPARE(two.value->size(), 2);
        QCOMPARE(two.value->at(0).id(), QStringLiteral("b2"));
        QCOMPARE(two.value->at(1).id(), QStringLiteral("a1"));

        const auto malformed =
            awaitTask(client->translateWord(QStringLiteral("w"), QStringLiteral("es"), QStringLiteral("en")));
        QVERIFY(malformed.failure<DecodingError>());

        const auto notAList =
            awaitTask(client->translateWord(QStringLiteral("w"), QStringLiteral("es"), QStringLiteral("en")));
        QVERIFY(notAList.failure<DecodingError>());
    }

    void nullRecordsAreFailures()
    {
        fake->answer(QStringLiteral("decks:getActiveDeck"), Answer::success(QJsonValue()));
        fake->answer(QStringLiteral("users:getCurrentUser"), Answer::success(QJsonValue()));
        QCOMPARE(awaitTask(client->getActiveDeck()).description(),
                 QStringLiteral("Server error (200): Null response"));
        QCOMPARE(awaitTask(client->getCurrentUser()).description(),
                 QStringLiteral("Server error (200): Null response"));

        fake->answer(QStringLiteral("users:getCurrentUser"),
                     Answer::success(QJsonObject{{QStringLiteral("email"), QJsonValue()}}));
        const auto user = awaitTask(client->getCurrentUser());
        QVERIFY2(user.succeeded(), qPrintable(user.description()));
        QVERIFY(!user.value->email);
    }

    void createCardAcceptsWhateverTheServerReturns()
    {
        const QList<QJsonValue> values{QJsonValue(QStringLiteral("k97abc")),
                                       QJsonObject{{QStringLiteral("_id"), 1}}, QJsonValue(),
                                       QJsonArray{1, 2}, QJsonValue(false)};
        for (const QJsonValue &value : values) {
            fake->answer(QStringLiteral("cards:createCard"), Answer::success(value));
            const auto outcome = awaitTask(client->createCard(
                QStringLiteral("d"), QStringLiteral("w"), QStringLiteral("t"), QStringLiteral("p"),
                QStringLiteral("e"), QStringLiteral("et"), QStringLiteral("c")));
            QVERIFY2(outcome.succeeded(), qPrintable(outcome.description()));
        }
        fake->answer(QStringLiteral("cards:createCard"), Answer::successWithoutValue());
        QVERIFY(awaitTask(client->createCard({}, {}, {}, {}, {}, {}, {})).succeeded());
    }

    void checkEmailExistsReturnsText()
    {
        fake->answer(QStringLiteral("users:checkEmailExists"), Answer::success(QStringLiteral("password")));
        const auto outcome = awaitTask(client->checkEmailExists(QStringLiteral("a@b.c")));
        QVERIFY2(outcome.succeeded(), qPrintable(outcome.description()));
        QCOMPARE(*outcome.value, QStringLiteral("password"));

        fake->answer(QStringLiteral("users:checkEmailExists"), Answer::success(true));
        QVERIFY(awaitTask(client->checkEmailExists(QStringLiteral("a@b.c"))).failure<DecodingError>());
    }

    void publicActionDecodesTheCallersType()
    {
        fake->answer(QStringLiteral("auth:signIn"), Answer::noTokens());
        client->setTokens(QStringLiteral("tok"), QStringLiteral("ref"));
        const auto outcome = awaitTask(client->callActionUnauthenticatedPublic<AuthSignInResponse>(
            QStringLiteral("auth:signIn"),
            QJsonObject{{QStringLiteral("provider"), QStringLiteral("apple")}}));
        QVERIFY2(outcome.succeeded(), qPrintable(outcome.description()));
        QVERIFY(!outcome.value->tokens);
        // Not the client's business: the caller decides what to do with the answer.
        QCOMPARE(client->authToken(), QStringLiteral("tok"));
    }
};

QTEST_GUILESS_MAIN(OperationsTest)
#include "OperationsTest.moc"
