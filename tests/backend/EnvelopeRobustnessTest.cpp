// Feeds random and mangled bodies through the envelope decoder for every
// result type: the only acceptable failure is a DecodingError, and nothing
// may crash. The generator is seeded, so a failure reproduces.

#include "backend/ConvexResponse.h"
#include "backend/Records.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

const QList<QByteArray> seeds = {
    R"({"status":"success","value":{"_id":"d1","name":"Spanish","langFrom":"en","langTo":"es"}})",
    R"({"status":"success","value":[{"word":"casa","translation":"house","phonetic":"ˈka.sa","exampleSentence":"a","exampleSentenceTranslation":"b","category":"noun"}]})",
    R"({"status":"success","value":{"tokens":{"token":"t","refreshToken":"r"}}})",
    R"({"status":"success","value":{"token":"t","refreshToken":"r"}})",
    R"({"status":"error","errorMessage":"boom"})",
    R"({"status":"success","value":null})",
    R"({"status":"success","value":"k57"})",
    R"({"status":"pending"})",
};

template <class T> void decodeOrDecodingError(const QByteArray &body, int &decoded)
{
    try {
        ConvexResponse<T>::fromBody(body);
        ++decoded;
    } catch (const DecodingError &) {
    }
}

void decodeAsEveryType(const QByteArray &body, int &decoded)
{
    decodeOrDecodingError<Deck>(body, decoded);
    decodeOrDecodingError<QList<TranslationResult>>(body, decoded);
    decodeOrDecodingError<AuthSignInResponse>(body, decoded);
    decodeOrDecodingError<AuthTokens>(body, decoded);
    decodeOrDecodingError<UserInfo>(body, decoded);
    decodeOrDecodingError<EmptyResponse>(body, decoded);
    decodeOrDecodingError<QString>(body, decoded);
}

QByteArray mutate(QByteArray bytes, QRandomGenerator &random)
{
    const int edits = 1 + int(random.bounded(6));
    for (int i = 0; i < edits && !bytes.isEmpty(); ++i) {
        const qsizetype at = random.bounded(int(bytes.size()));
        switch (random.bounded(5)) {
        case 0: // flip a byte
            bytes[at] = char(random.bounded(256));
            break;
        case 1: // drop a run
            bytes.remove(at, 1 + random.bounded(8));
            break;
        case 2: // duplicate a run
            bytes.insert(at, bytes.mid(at, 1 + random.bounded(16)));
            break;
        case 3: // insert structural noise
            bytes.insert(at, "{}[]\":,\\nul0-e9\xff\xc3"[random.bounded(17)]);
            break;
        case 4: // truncate
            bytes.truncate(at);
            break;
        }
    }
    return bytes;
}

} // namespace

class EnvelopeRobustnessTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void seedsDecodeAsTheirOwnType()
    {
        int decoded = 0;
        for (const QByteArray &seed : seeds)
            decodeAsEveryType(seed, decoded);
        QVERIFY(decoded >= int(seeds.size())); // sanity: the corpus is not all rejects
    }

    void randomBytes()
    {
        QRandomGenerator random(20261207);
        int decoded = 0;
        for (int round = 0; round < 3000; ++round) {
            QByteArray body(qsizetype(random.bounded(200)), Qt::Uninitialized);
            for (char &c : body)
                c = char(random.bounded(256));
            decodeAsEveryType(body, decoded);
        }
    }

    void mutatedEnvelopes()
    {
        QRandomGenerator random(7);
        int decoded = 0;
        for (int round = 0; round < 20000; ++round)
            decodeAsEveryType(mutate(seeds[round % seeds.size()], random), decoded);
        QVERIFY(decoded > 0);
    }

    void pathologicalShapes()
    {
        int decoded = 0;
        decodeAsEveryType(QByteArray(200000, '['), decoded);
        decodeAsEveryType(QByteArray(200000, '[') + QByteArray(200000, ']'), decoded);
        decodeAsEveryType("{\"status\":\"success\",\"value\":" + QByteArray(100000, '[') +
                              QByteArray(100000, ']') + "}",
                          decoded);
        decodeAsEveryType(R"({"status":"success","value":1e999999})", decoded);
        decodeAsEveryType(R"({"status":"success","value":"\ud800"})", decoded);
        decodeAsEveryType("{\"status\":\"succ\xc3\x28ss\"}", decoded);
        decodeAsEveryType(QByteArray("{\"status\":\"success\"}\0garbage", 28), decoded);
        decodeAsEveryType(R"({"status":"success","status":"error"})", decoded);
        decodeAsEveryType(QByteArray(), decoded);
        decodeAsEveryType("null", decoded);
        decodeAsEveryType("\"success\"", decoded);
    }
};

QTEST_GUILESS_MAIN(EnvelopeRobustnessTest)
#include "EnvelopeRobustnessTest.moc"
