#include "DevServerTestClient.h"

#include "DevAuth.h"
#include "DevStore.h"

#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

#include <sys/stat.h>

namespace {
const QString query = QStringLiteral("query");
const QString mutation = QStringLiteral("mutation");
const QString action = QStringLiteral("action");

// The status code of the answer to `request`, written as it is; 0 when none came.
int statusOf(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 20000))
        return 0;
    socket.write(request);
    QByteArray answer;
    if (!QTest::qWaitFor([&] { return (answer += socket.readAll()).contains("\r\n"); }, 20000))
        return 0;
    return answer.startsWith("HTTP/1.1 ") ? answer.mid(9, 3).toInt() : 0;
}

unsigned fileMode(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
}
} // namespace

class DevServerHttpTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void envelopeRoutesAndFunctionKinds()
    {
        DevServerFixture f;
        QVERIFY(f.start());
        HttpCaller http(f.url());

        CallResult r = http.call(query, QStringLiteral("decks:listDecks"), {});
        QVERIFY(r.isSuccess());
        QCOMPARE(r.value(), QJsonValue(QJsonArray())); // nobody signed in: no decks

        r = http.call(query, QStringLiteral("users:getCurrentUser"), {});
        QVERIFY(r.isSuccess());
        QVERIFY(r.body.contains(QStringLiteral("value")) && r.value().isNull());

        r = http.call(query, QStringLiteral("decks:nope"), {});
        QCOMPARE(r.status, 200);
        QCOMPARE(r.body.value("status").toString(), QStringLiteral("error"));
        QVERIFY(r.errorMessage().contains(QStringLiteral("decks:nope")));

        r = http.call(mutation, QStringLiteral("decks:listDecks"), {});
        QCOMPARE(
            r.errorMessage(),
            QStringLiteral("Trying to execute decks:listDecks as Mutation, but it is defined as Query."));

        r = http.call(query, QStringLiteral("decks:listDecks"), {{"extra", "x"}});
        QVERIFY(r.errorMessage().startsWith(QStringLiteral("ArgumentValidationError")));

        QCOMPARE(http.rawPost(QStringLiteral("/api/query"), "not json").status, 400);
        QCOMPARE(http.rawPost(QStringLiteral("/api/query"), R"({"path":"decks:listDecks","args":[]})").status,
                 400);
        r = http.rawPost(QStringLiteral("/api/elsewhere"), "{}");
        QCOMPARE(r.status, 404);
        QVERIFY(r.body.contains(QStringLiteral("code")) && r.body.contains(QStringLiteral("message")));
    }

    void passwordSignInFollowsTheRealValidator()
    {
        DevServerFixture f;
        QVERIFY(f.start());
        HttpCaller http(f.url());
        const QJsonObject params{
            {"email", DevStore::demoEmail}, {"password", DevStore::demoPassword}, {"flow", "signIn"}};

        CallResult r = http.call(action, QStringLiteral("auth:signIn"),
                                 {{"provider", "password"}, {"params", params}, {"verifier", QJsonValue()}});
        QCOMPARE(r.status, 200);
        QVERIFY(!r.isSuccess());
        QVERIFY(r.errorMessage().contains(QStringLiteral("Path: .verifier")));

        r = http.call(action, QStringLiteral("auth:signIn"), {{"provider", "password"}, {"params", params}});
        QVERIFY(r.isSuccess());
        const QJsonObject tokens = r.value().toObject().value(QStringLiteral("tokens")).toObject();
        QVERIFY(!tokens.value(QStringLiteral("token")).toString().isEmpty());
        QVERIFY(!tokens.value(QStringLiteral("refreshToken")).toString().isEmpty());

        r = http.call(query, QStringLiteral("users:getCurrentUser"), {},
                      tokens.value(QStringLiteral("token")).toString());
        QCOMPARE(r.value().toObject().value(QStringLiteral("email")).toString(),
                 QString::fromLatin1(DevStore::demoEmail));

        QJsonObject wrong = params;
        wrong[QStringLiteral("password")] = QStringLiteral("not-it");
        r = http.call(action, QStringLiteral("auth:signIn"), {{"provider", "password"}, {"params", wrong}});
        QVERIFY(!r.isSuccess());
        QVERIFY(!r.body.value(QStringLiteral("value")).isObject());
    }

    void expiredOrUnknownAccessTokenGets401()
    {
        DevServerFixture f;
        f.config.tokenTtl = std::chrono::minutes(5);
        QVERIFY(f.start());
        HttpCaller http(f.url());
        const auto [token, refresh] = http.signIn(f);
        QVERIFY(!token.isEmpty());

        QVERIFY(http.call(query, QStringLiteral("decks:getActiveDeck"), {}, token).isSuccess());
        f.clock.advance(5 * 60 * 1000 - 1);
        QVERIFY(http.call(query, QStringLiteral("decks:getActiveDeck"), {}, token).isSuccess());
        f.clock.advance(1);
        CallResult r = http.call(query, QStringLiteral("decks:getActiveDeck"), {}, token);
        QCOMPARE(r.status, 401);
        QVERIFY(r.body.value(QStringLiteral("code")).isString());
        QVERIFY(r.body.value(QStringLiteral("message")).isString());

        // Any function, even one that needs no identity, checks a token that is sent.
        QCOMPARE(http.call(action, QStringLiteral("auth:signIn"), {{"refreshToken", refresh}}, token).status,
                 401);
        QCOMPARE(http.call(query, QStringLiteral("decks:listDecks"), {}, QStringLiteral("made-up")).status,
                 401);
    }

    void refreshTokensRotateWithAShortGrace()
    {
        DevServerFixture f;
        QVERIFY(f.start());
        HttpCaller http(f.url());
        const auto [token1, refresh1] = http.signIn(f);
        auto refresh = [&](const QString &rt) {
            return http.call(action, QStringLiteral("auth:signIn"),
                             {{"refreshToken", rt}, {"calledBy", "refreshSession"}});
        };
        auto tokensOf = [](const CallResult &r) {
            return r.value().toObject().value(QStringLiteral("tokens"));
        };

        CallResult r = refresh(refresh1);
        QVERIFY(r.isSuccess());
        const QString token2 = tokensOf(r).toObject().value(QStringLiteral("token")).toString();
        const QString refresh2 = tokensOf(r).toObject().value(QStringLiteral("refreshToken")).toString();
        QVERIFY(!token2.isEmpty() && token2 != token1);
        QVERIFY(!refresh2.isEmpty() && refresh2 != refresh1);
        // The old access token stays valid until it expires.
        QVERIFY(http.call(query, QStringLiteral("decks:listDecks"), {}, token1).isSuccess());

        // A parallel refresh with the same token within the grace still works.
        f.clock.advance(9000);
        QVERIFY(tokensOf(refresh(refresh1)).isObject());

        // After the grace the reused token is refused and the session ends.
        f.clock.advance(2000);
        r = refresh(refresh1);
        QVERIFY(r.isSuccess());
        QVERIFY(tokensOf(r).isNull());
        QVERIFY(tokensOf(refresh(refresh2)).isNull());
        QCOMPARE(http.call(query, QStringLiteral("decks:listDecks"), {}, token2).status, 401);

        QVERIFY(tokensOf(refresh(QStringLiteral("never-issued"))).isNull());
        QVERIFY(!refresh(QString()).value().isUndefined());
    }

    void linkCodesAreOneTimeAndExpire()
    {
        DevServerFixture f;
        QVERIFY(f.start());
        HttpCaller http(f.url());
        auto redeem = [&](const QString &code) {
            return http.call(action, QStringLiteral("users:redeemMacLinkCode"), {{"code", code}});
        };

        const QString code = f.freshLinkCode();
        QVERIFY2(QRegularExpression(QStringLiteral("^[A-Z0-9]{4}-[A-Z0-9]{4}$")).match(code).hasMatch(),
                 qPrintable(code));
        QCOMPARE(redeem(QString(code).remove(u'-')).errorMessage(),
                 QStringLiteral("Invalid or expired link code"));
        QCOMPARE(redeem(code.toLower()).errorMessage(), QStringLiteral("Invalid or expired link code"));

        CallResult r = redeem(code);
        QVERIFY(r.isSuccess());
        // The pair is the value itself, not wrapped in "tokens".
        QVERIFY(r.value().toObject().value(QStringLiteral("token")).isString());
        QVERIFY(r.value().toObject().value(QStringLiteral("refreshToken")).isString());
        QVERIFY(!redeem(code).isSuccess());

        const QString late = f.freshLinkCode();
        f.clock.advance(f.config.linkCodeTtl.count());
        QVERIFY(!redeem(late).isSuccess());
        QVERIFY(!http.call(action, QStringLiteral("users:redeemMacLinkCode"), {{"code", QJsonValue()}})
                     .isSuccess());
    }

    void linkCodeCommandReachesARunningServer()
    {
        DevServerFixture f;
        f.clock.setManual(QDateTime::currentMSecsSinceEpoch()); // the command runs on the wall clock
        QVERIFY(f.start());
        HttpCaller http(f.url());
        QVERIFY(http.call(action, QStringLiteral("users:redeemMacLinkCode"), {{"code", f.freshLinkCode()}})
                    .isSuccess());

        QProcess command;
        command.start(QStringLiteral(VOCARTA_DEVSERVER_EXE),
                      {QStringLiteral("link-code"), QStringLiteral("--data"), f.dataPath()});
        QSignalSpy finished(&command, &QProcess::finished);
        QVERIFY(finished.wait(30000));
        QCOMPARE(command.exitCode(), 0);
        const QString code = QString::fromUtf8(command.readAllStandardOutput()).trimmed();
        QCOMPARE(code.size(), 9);

        // The server writes the file on every change; the new code must survive that.
        QVERIFY(http.call(action, QStringLiteral("users:redeemMacLinkCode"), {{"code", f.freshLinkCode()}})
                    .isSuccess());
        QVERIFY(http.call(action, QStringLiteral("users:redeemMacLinkCode"), {{"code", code}}).isSuccess());
        QVERIFY(!http.call(action, QStringLiteral("users:redeemMacLinkCode"), {{"code", code}}).isSuccess());
    }

    void executableServesAndRefusesOtherAddresses()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("state.json"));
        QProcess refused;
        refused.start(QStringLiteral(VOCARTA_DEVSERVER_EXE),
                      {QStringLiteral("--host"), QStringLiteral("0.0.0.0"), QStringLiteral("--data"), data});
        QSignalSpy refusedDone(&refused, &QProcess::finished);
        QVERIFY(refusedDone.wait(30000));
        QVERIFY(refused.exitCode() != 0);
        QVERIFY(QString::fromUtf8(refused.readAllStandardError()).contains(QStringLiteral("loopback")));

        QProcess server;
        server.start(QStringLiteral(VOCARTA_DEVSERVER_EXE),
                     {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data"), data,
                      QStringLiteral("--print-link-code")});
        QString output;
        const QRegularExpression codeLine(QStringLiteral("link code: ([A-Z0-9]{4}-[A-Z0-9]{4})"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                output += QString::fromUtf8(server.readAllStandardOutput());
                return codeLine.match(output).hasMatch();
            },
            30000));
        const auto port = QRegularExpression(QStringLiteral("http://127\\.0\\.0\\.1:(\\d+)")).match(output);
        QVERIFY2(port.hasMatch(), qPrintable(output));
        QUrl url(QStringLiteral("http://127.0.0.1"));
        url.setPort(port.captured(1).toInt());
        HttpCaller http(url);
        QVERIFY(http.call(action, QStringLiteral("users:redeemMacLinkCode"),
                          {{"code", codeLine.match(output).captured(1)}})
                    .isSuccess());
        QVERIFY(QTest::qWaitFor(
            [&] {
                output += QString::fromUtf8(server.readAllStandardOutput());
                return output.contains(QStringLiteral("users:redeemMacLinkCode -> 200 success"));
            },
            30000));
        server.terminate();
        QSignalSpy serverDone(&server, &QProcess::finished);
        QVERIFY(server.state() == QProcess::NotRunning || serverDone.wait(30000));
    }

    void translateWordGivesCandidatesOrAClearError()
    {
        DevServerFixture f;
        QVERIFY(f.start());
        HttpCaller http(f.url());
        const auto [token, refresh] = http.signIn(f);
        auto translate = [&](const QString &word, const QString &from, const QString &to) {
            return http.call(action, QStringLiteral("ai:translateWord"),
                             {{"word", word}, {"langFrom", from}, {"langTo", to}}, token);
        };

        for (const auto &[word, from, to] :
             {std::tuple{"car", "en", "fr"}, std::tuple{"  Haus ", "en", "de"}, std::tuple{"nap", "hu", "en"},
              std::tuple{"спасибо", "pl", "ru"}}) {
            const CallResult r =
                translate(QString::fromUtf8(word), QString::fromLatin1(from), QString::fromLatin1(to));
            QVERIFY2(r.isSuccess(), qPrintable(r.errorMessage()));
            const QJsonArray candidates = r.value().toArray();
            QVERIFY2(candidates.size() >= 1 && candidates.size() <= 3, word);
            for (const QJsonValue &c : candidates)
                for (const char *member : {"word", "translation", "phonetic", "exampleSentence",
                                           "exampleSentenceTranslation", "category"})
                    QVERIFY2(!c.toObject().value(QLatin1String(member)).toString().isEmpty(), member);
        }
        // The word is in the language being learnt, the translation in the other one.
        const QJsonObject first = translate(QStringLiteral("car"), QStringLiteral("en"), QStringLiteral("fr"))
                                      .value()
                                      .toArray()
                                      .first()
                                      .toObject();
        QCOMPARE(first.value(QStringLiteral("word")).toString(), QStringLiteral("voiture"));
        QCOMPARE(first.value(QStringLiteral("translation")).toString(), QStringLiteral("car"));
        QCOMPARE(translate(QStringLiteral("nap"), QStringLiteral("hu"), QStringLiteral("en"))
                     .value()
                     .toArray()
                     .size(),
                 2);

        CallResult r = translate(QStringLiteral("xylophonic"), QStringLiteral("en"), QStringLiteral("fr"));
        QVERIFY(!r.isSuccess());
        QVERIFY(r.errorMessage().contains(QStringLiteral("No translation found for \"xylophonic\"")));
        QVERIFY(!translate(QStringLiteral("car"), QStringLiteral("EN"), QStringLiteral("fr")).isSuccess());
        QCOMPARE(http.call(action, QStringLiteral("ai:translateWord"),
                           {{"word", "car"}, {"langFrom", "en"}, {"langTo", "fr"}})
                     .errorMessage(),
                 QStringLiteral("Not authenticated"));
    }

    void translateWordAsksTheDictionariesFirst()
    {
        DevServerFixture f;
        f.config.dictionaryDir = QStringLiteral("/usr/share/dictd");
        QVERIFY(f.start());
        HttpCaller http(f.url());
        const auto [token, refresh] = http.signIn(f);
        auto translate = [&](const char *word, const char *from, const char *to) {
            return http.call(action, QStringLiteral("ai:translateWord"),
                             {{"word", QString::fromUtf8(word)}, {"langFrom", from}, {"langTo", to}}, token);
        };

        // A plural the built-in table never knew, with the dictionary's IPA and no made-up sentence.
        CallResult r = translate("houses", "en", "de");
        QVERIFY2(r.isSuccess(), qPrintable(r.errorMessage()));
        const QJsonObject first = r.value().toArray().first().toObject();
        QCOMPARE(first.value("word").toString(), QStringLiteral("Häuser"));
        QCOMPARE(first.value("translation").toString(), QStringLiteral("houses"));
        QCOMPARE(first.value("phonetic").toString(), QStringLiteral("/hˈɔøzɜ/"));
        for (const QJsonValue &c : r.value().toArray())
            QVERIFY(!c.toObject().value("exampleSentence").toString().contains(QStringLiteral("on my list")));

        // A pair no dictionary covers still has the table; a word nobody knows is the same kind of error.
        QVERIFY(translate("nap", "hu", "en").isSuccess());
        r = translate("xylophonicz", "en", "de");
        QVERIFY(!r.isSuccess());
        QVERIFY(r.errorMessage().startsWith(
            QStringLiteral("No translation found for \"xylophonicz\" (en -> de)")));
    }

    // What the core's parser refuses beyond the fake deployment's own table:
    // forms that two parsers could read differently.
    void ambiguousRequestsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        const QByteArray post = "POST /api/query HTTP/1.1\r\nHost: 127.0.0.1\r\n";
        QTest::newRow("bare LF") << QByteArray(
                                        "POST /api/query HTTP/1.1\nHost: 127.0.0.1\nContent-Length: 2\n\n{}")
                                 << 400;
        QTest::newRow("folded header") << post + "Content-Length: 2\r\nX-A: a\r\n b\r\n\r\n{}" << 400;
        QTest::newRow("space before colon") << post + "Content-Length : 2\r\n\r\n{}" << 400;
        QTest::newRow("two lengths") << post + "Content-Length: 2\r\nContent-Length: 3\r\n\r\n{}}" << 400;
        QTest::newRow("two hosts") << post + "Host: 127.0.0.1\r\nContent-Length: 2\r\n\r\n{}" << 400;
        QTest::newRow("no length") << post + "\r\n{}" << 411;
        QTest::newRow("other version")
            << QByteArray("GET /api/query HTTP/2.0\r\nHost: 127.0.0.1\r\n\r\n") << 505;
        QTest::newRow("fragment") << QByteArray("GET /api/query#x HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
                                  << 400;
        QTest::newRow("body too large") << post + "Content-Length: 1048577\r\n\r\n" << 413;
    }

    void ambiguousRequestsAreRefused()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        DevServerFixture f;
        QVERIFY(f.start());
        QCOMPARE(statusOf(f.server->port(), request), status);
        QVERIFY(f.logLines.last().startsWith(QStringLiteral("http refused %1").arg(status)));
    }

    // A web page can rebind its own name to 127.0.0.1; the browser still sends
    // that name as Host and the page's origin as Origin.
    void onlyThisMachinesClientsAreServed_data()
    {
        QTest::addColumn<QByteArray>("host"); // PORT stands for the server's port; empty: none sent
        QTest::addColumn<QByteArray>("origin");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("upgradeStatus");
        QTest::newRow("127.0.0.1") << QByteArray("127.0.0.1:PORT") << QByteArray() << 200 << 101;
        QTest::newRow("localhost without port") << QByteArray("localhost") << QByteArray() << 200 << 101;
        QTest::newRow("::1") << QByteArray("[::1]:PORT") << QByteArray() << 200 << 101;
        QTest::newRow("page on this machine")
            << QByteArray("127.0.0.1:PORT") << QByteArray("http://localhost:5173") << 200 << 101;
        QTest::newRow("rebound name") << QByteArray("rebind.example:PORT") << QByteArray() << 403 << 403;
        QTest::newRow("name around localhost")
            << QByteArray("localhost.rebind.example") << QByteArray() << 403 << 403;
        QTest::newRow("user info") << QByteArray("127.0.0.1@rebind.example") << QByteArray() << 403 << 403;
        QTest::newRow("foreign origin")
            << QByteArray("127.0.0.1:PORT") << QByteArray("http://rebind.example:PORT") << 403 << 403;
        QTest::newRow("sandboxed origin") << QByteArray("127.0.0.1:PORT") << QByteArray("null") << 403 << 403;
        QTest::newRow("no host") << QByteArray() << QByteArray() << 400 << 400;
    }

    void onlyThisMachinesClientsAreServed()
    {
        QFETCH(QByteArray, host);
        QFETCH(QByteArray, origin);
        QFETCH(int, status);
        QFETCH(int, upgradeStatus);
        DevServerFixture f;
        QVERIFY(f.start());
        QByteArray headers;
        if (!host.isEmpty())
            headers +=
                "Host: " + QByteArray(host).replace("PORT", QByteArray::number(f.server->port())) + "\r\n";
        if (!origin.isEmpty())
            headers += "Origin: " + QByteArray(origin).replace("PORT", QByteArray::number(f.server->port())) +
                       "\r\n";

        const QByteArray body =
            R"({"path":"auth:signIn","args":{"provider":"password","params":{}},"format":"json"})";
        QCOMPARE(statusOf(f.server->port(), "POST /api/action HTTP/1.1\r\n" + headers +
                                                "Content-Type: text/plain\r\nContent-Length: " +
                                                QByteArray::number(body.size()) + "\r\n\r\n" + body),
                 status);
        QCOMPARE(statusOf(f.server->port(), "GET /api/sync HTTP/1.1\r\n" + headers +
                                                "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                                                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                                "Sec-WebSocket-Version: 13\r\n\r\n"),
                 upgradeStatus);
        QTRY_COMPARE_WITH_TIMEOUT(f.server->syncConnectionCount(), upgradeStatus == 101 ? 1 : 0, 20000);
    }

    void cardsDecksAndSessionsSurviveARestart()
    {
        DevServerFixture f;
        QVERIFY(f.start());
        // The file holds password and token digests: the owner's alone, however it was left.
        QCOMPARE(fileMode(f.dataPath()), 0600u);
        HttpCaller http(f.url());
        const auto [token, refresh] = http.signIn(f);
        const QJsonArray decks =
            http.call(query, QStringLiteral("decks:listDecks"), {}, token).value().toArray();
        QCOMPARE(decks.size(), 3);
        const QString germanId = decks.at(1).toObject().value(QStringLiteral("_id")).toString();
        QCOMPARE(decks.at(1).toObject().value(QStringLiteral("langTo")).toString(), QStringLiteral("de"));

        QVERIFY(http.call(mutation, QStringLiteral("decks:setActiveDeck"), {{"deckId", germanId}}, token)
                    .isSuccess());
        QVERIFY(
            !http.call(mutation, QStringLiteral("decks:setActiveDeck"), {{"deckId", "someone-elses"}}, token)
                 .isSuccess());
        const QJsonObject card{{"deckId", germanId},
                               {"word", "Haus"},
                               {"translation", "house"},
                               {"phonetic", "/haʊ̯s/"},
                               {"exampleSentence", "Das Haus ist alt."},
                               {"exampleSentenceTranslation", "The house is old."},
                               {"category", "noun"}};
        CallResult r = http.call(mutation, QStringLiteral("cards:createCard"), card, token);
        QVERIFY(r.isSuccess());
        QVERIFY(r.value().isString());
        QJsonObject incomplete = card;
        incomplete.remove(QStringLiteral("category"));
        QVERIFY(!http.call(mutation, QStringLiteral("cards:createCard"), incomplete, token).isSuccess());

        QVERIFY(QFile::setPermissions(f.dataPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                        QFileDevice::ReadGroup | QFileDevice::ReadOther));
        QVERIFY(f.restart());
        QCOMPARE(fileMode(f.dataPath()), 0600u);
        HttpCaller again(f.url());
        QCOMPARE(f.server->store().state().cards.size(), 1);
        QCOMPARE(f.server->store().state().cards.first().phonetic, QStringLiteral("/haʊ̯s/"));
        r = again.call(query, QStringLiteral("decks:getActiveDeck"), {}, token);
        QVERIFY(r.isSuccess());
        QCOMPARE(r.value().toObject().value(QStringLiteral("_id")).toString(), germanId);
        QVERIFY(again.call(mutation, QStringLiteral("decks:setActiveDeck"), {{"deckId", germanId}}, token)
                    .isSuccess()); // written again
        QCOMPARE(fileMode(f.dataPath()), 0600u);
        QVERIFY(again.call(action, QStringLiteral("auth:signIn"), {{"refreshToken", refresh}})
                    .value()
                    .toObject()
                    .value(QStringLiteral("tokens"))
                    .isObject());
    }

    void damagedDataFileIsReportedNotReplaced()
    {
        DevServerFixture f;
        QFile file(f.dataPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({"format":1,"users":[{"_id":"u","email":7}]})");
        file.close();
        DevServer server(f.config, &f.clock);
        QString error;
        QVERIFY(!server.start(&error));
        QVERIFY2(error.contains(QStringLiteral("email")), qPrintable(error));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("\"email\":7"));
    }

    void refusesAddressesOtherThanLoopback()
    {
        DevServerFixture f;
        f.config.host = QHostAddress(QHostAddress::AnyIPv4);
        QVERIFY(!f.start());
        f.config.host = QHostAddress(QHostAddress::LocalHostIPv6);
        f.config.port = 0;
        // Loopback IPv6 is allowed when the machine has it; only the refusal matters here.
        DevServer server(f.config, &f.clock);
        QString error;
        if (!server.start(&error))
            QVERIFY2(!error.contains(QStringLiteral("loopback addresses only")), qPrintable(error));
    }

    void logLinesNeverHoldTokens()
    {
        DevServerFixture f;
        QVERIFY(f.start());
        HttpCaller http(f.url());
        const auto [token, refresh] = http.signIn(f);
        const CallResult r = http.call(action, QStringLiteral("auth:signIn"), {{"refreshToken", refresh}});
        const QJsonObject fresh = r.value().toObject().value(QStringLiteral("tokens")).toObject();
        http.call(query, QStringLiteral("decks:listDecks"), {}, token);
        http.call(query, QStringLiteral("decks:listDecks"), {}, QStringLiteral("Zm9yZ2VkLXRva2Vu"));
        http.call(action, QStringLiteral("auth:signOut"), {},
                  fresh.value(QStringLiteral("token")).toString());

        QVERIFY(f.logLines.size() >= 5);
        const QStringList secrets = {token, refresh, fresh.value(QStringLiteral("token")).toString(),
                                     fresh.value(QStringLiteral("refreshToken")).toString(),
                                     QStringLiteral("Zm9yZ2VkLXRva2Vu")};
        for (const QString &line : std::as_const(f.logLines)) {
            QVERIFY(!line.contains(u'\n'));
            for (const QString &secret : secrets)
                QVERIFY2(!line.contains(secret), qPrintable(line));
        }
        QFile file(f.dataPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray stored = file.readAll();
        for (const QString &secret : secrets)
            QVERIFY(!stored.contains(secret.toUtf8()));
    }
};

QTEST_GUILESS_MAIN(DevServerHttpTest)
#include "DevServerHttpTest.moc"
