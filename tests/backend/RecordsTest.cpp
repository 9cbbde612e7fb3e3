#include "backend/Records.h"
#include "backend/ConvexError.h"
#include "backend/ConvexResponse.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

namespace {

QJsonValue parse(const char *json)
{
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(json));
    if (document.isArray())
        return document.array();
    return document.object();
}

template <class T> std::optional<DecodingError> decodeFailure(const QJsonValue &json)
{
    try {
        decodeRecord<T>(json);
    } catch (const DecodingError &error) {
        return error;
    }
    return std::nullopt;
}

} // namespace

class RecordsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void deckDecodesAndIgnoresUnknownMembers()
    {
        const Deck deck = decodeRecord<Deck>(
            parse(R"({"_id":"d1","name":"Spanish","langFrom":"en","langTo":"es","cardCount":12,"x":null})"));
        QCOMPARE(deck._id, QStringLiteral("d1"));
        QCOMPARE(deck.id(), QStringLiteral("d1"));
        QCOMPARE(deck.name, QStringLiteral("Spanish"));
        QCOMPARE(deck.langFrom, QStringLiteral("en"));
        QCOMPARE(deck.langTo, QStringLiteral("es"));
    }

    void deckRequiredMembers_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QString>("problem");
        QTest::newRow("langTo missing") << QByteArray(R"({"_id":"d","name":"n","langFrom":"en"})") << "langTo"
                                        << "is missing";
        QTest::newRow("name null") << QByteArray(R"({"_id":"d","name":null,"langFrom":"en","langTo":"es"})")
                                   << "name"
                                   << "is null but must be a string";
        QTest::newRow("id number") << QByteArray(R"({"_id":7,"name":"n","langFrom":"en","langTo":"es"})")
                                   << "_id"
                                   << "must be a string, not a number";
        QTest::newRow("key case matters")
            << QByteArray(R"({"_id":"d","Name":"n","langFrom":"en","langTo":"es"})") << "name"
            << "is missing";
    }

    void deckRequiredMembers()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, member);
        QFETCH(QString, problem);
        const auto failure = decodeFailure<Deck>(parse(json.constData()));
        QVERIFY(failure);
        QCOMPARE(failure->member(), member);
        QCOMPARE(failure->problem(), problem);
        QVERIFY2(failure->description().contains(member), qPrintable(failure->description()));
    }

    void deckMustBeAnObject()
    {
        QVERIFY(decodeFailure<Deck>(QJsonValue(QStringLiteral("d1"))));
        QVERIFY(decodeFailure<Deck>(QJsonArray()));
        QVERIFY(decodeFailure<Deck>(QJsonValue()));
    }

    void translationResultRules()
    {
        const TranslationResult result = decodeRecord<TranslationResult>(parse(
            R"({"word":"casa","translation":"house","phonetic":"","exampleSentence":"Mi casa.","exampleSentenceTranslation":"My house.","category":"noun"})"));
        QCOMPARE(result.phonetic, QString());
        QCOMPARE(result.id(), QStringLiteral("casahouse"));
        QCOMPARE(result.category, QStringLiteral("noun"));

        const auto missing = decodeFailure<TranslationResult>(parse(
            R"({"word":"casa","translation":"house","exampleSentence":"a","exampleSentenceTranslation":"b","category":"c"})"));
        QVERIFY(missing);
        QCOMPARE(missing->member(), QStringLiteral("phonetic"));
    }

    void translationIdentityJoinsWordAndTranslation()
    {
        TranslationResult a{QStringLiteral("ab"), QStringLiteral("c"), {}, {}, {}, {}};
        TranslationResult b{QStringLiteral("a"), QStringLiteral("bc"), {}, {}, {}, {}};
        // No separator: these two share an identity, as the server's lists expect.
        QCOMPARE(a.id(), b.id());
    }

    void signInResponseWithoutTokens()
    {
        QVERIFY(!decodeRecord<AuthSignInResponse>(parse(R"({"tokens":null})")).tokens);
        QVERIFY(!decodeRecord<AuthSignInResponse>(parse(R"({})")).tokens);
        const auto withTokens =
            decodeRecord<AuthSignInResponse>(parse(R"({"tokens":{"token":"t","refreshToken":"r"}})"));
        QVERIFY(withTokens.tokens);
        QCOMPARE(withTokens.tokens->token, QStringLiteral("t"));
        QCOMPARE(withTokens.tokens->refreshToken, QStringLiteral("r"));

        const auto half = decodeFailure<AuthSignInResponse>(parse(R"({"tokens":{"token":"t"}})"));
        QVERIFY(half);
        QCOMPARE(half->member(), QStringLiteral("tokens.refreshToken"));
        QVERIFY(decodeFailure<AuthSignInResponse>(parse(R"({"tokens":"t"})")));
    }

    void userInfoEmailIsOptional()
    {
        QVERIFY(!decodeRecord<UserInfo>(parse(R"({"email":null})")).email);
        QVERIFY(!decodeRecord<UserInfo>(parse(R"({})")).email);
        QCOMPARE(decodeRecord<UserInfo>(parse(R"({"email":"a@b.c","name":"A"})")).email,
                 QStringLiteral("a@b.c"));
        // Present but of the wrong type is not "absent".
        QVERIFY(decodeFailure<UserInfo>(parse(R"({"email":42})")));
    }

    void emptyResponseAcceptsAnything()
    {
        decodeRecord<EmptyResponse>(QJsonObject());
        decodeRecord<EmptyResponse>(QJsonArray());
        decodeRecord<EmptyResponse>(QJsonValue(QStringLiteral("k123")));
        decodeRecord<EmptyResponse>(QJsonValue(3.5));
        decodeRecord<EmptyResponse>(QJsonValue(true));
    }

    void listNamesTheFailingElement()
    {
        const auto failure = decodeFailure<QList<TranslationResult>>(parse(
            R"([{"word":"a","translation":"b","phonetic":"c","exampleSentence":"d","exampleSentenceTranslation":"e","category":"f"},{"word":"a"}])"));
        QVERIFY(failure);
        QCOMPARE(failure->member(), QStringLiteral("[1].translation"));
        QVERIFY(decodeRecord<QList<TranslationResult>>(QJsonArray()).isEmpty());
    }

    void envelopeNamesMembersFromTheTop()
    {
        try {
            ConvexResponse<Deck>::fromBody(
                R"({"status":"success","value":{"_id":"d","name":"n","langFrom":"en"}})");
            QFAIL("decoded a deck without langTo");
        } catch (const DecodingError &error) {
            QCOMPARE(error.member(), QStringLiteral("value.langTo"));
        }
        try {
            ConvexResponse<EmptyResponse>::fromBody(R"({"value":1})");
            QFAIL("decoded an envelope without status");
        } catch (const DecodingError &error) {
            QCOMPARE(error.member(), QStringLiteral("status"));
        }
        try {
            ConvexResponse<EmptyResponse>::fromBody("not json");
            QFAIL("decoded garbage");
        } catch (const DecodingError &error) {
            QVERIFY(error.member().isEmpty());
            QVERIFY(error.description().contains(QStringLiteral("not valid JSON")));
        }
        const auto envelope =
            ConvexResponse<Deck>::fromBody(R"({"status":"error","errorMessage":"boom","value":null})");
        QCOMPARE(envelope.status, QStringLiteral("error"));
        QCOMPARE(envelope.errorMessage, QStringLiteral("boom"));
        QVERIFY(!envelope.value);
    }

    void convexErrorDescriptions()
    {
        QCOMPARE(ConvexError::authFailed(QStringLiteral("No refresh token")).description(),
                 QStringLiteral("Auth failed: No refresh token"));
        QCOMPARE(ConvexError::networkError(QStringLiteral("Not an HTTP response")).description(),
                 QStringLiteral("Network error: Not an HTTP response"));
        QCOMPARE(ConvexError::serverError(401, QString()).description(),
                 QStringLiteral("Server error (401): "));
        QCOMPARE(ConvexError::serverError(200, QStringLiteral("Null response")).description(),
                 QStringLiteral("Server error (200): Null response"));
        QCOMPARE(ConvexError::serverError(-1, QStringLiteral("x")).description(),
                 QStringLiteral("Server error (-1): x"));
        const ConvexError error = ConvexError::serverError(503, QStringLiteral("down"));
        QCOMPARE(error.kind(), ConvexError::Kind::ServerError);
        QCOMPARE(error.code(), 503);
        QCOMPARE(error.message(), QStringLiteral("down"));
        QCOMPARE(QString::fromUtf8(error.what()), error.description());
    }
};

QTEST_GUILESS_MAIN(RecordsTest)
#include "RecordsTest.moc"
