#include "DevServerTestClient.h"

#include "DevAuth.h"
#include "DevStore.h"

#include <QJsonArray>
#include <QtTest>

namespace {
const QString listDecks = QStringLiteral("decks:listDecks");
const QString getActiveDeck = QStringLiteral("decks:getActiveDeck");

QJsonArray modificationsOf(const QJsonObject &transition)
{
    return transition.value(QStringLiteral("modifications")).toArray();
}

// The deck at `index` of the deck list in the opening Transition.
QJsonObject listedDeck(const QJsonObject &opening, int index)
{
    return modificationsOf(opening)
        .at(0)
        .toObject()
        .value(QStringLiteral("value"))
        .toArray()
        .at(index)
        .toObject();
}

qint64 versionOf(const QJsonObject &transition, const char *which, const char *counter)
{
    return transition.value(QLatin1String(which)).toObject().value(QLatin1String(counter)).toInteger(-1);
}
} // namespace

class DevServerSyncTest : public QObject {
    Q_OBJECT

private:
    // Connect, Authenticate and the opening query set, as the program sends them.
    static bool openSession(const QUrl &url, SyncTestClient &sync, const QString &token)
    {
        if (!sync.open(url))
            return false;
        sync.sendConnect();
        sync.sendAuthenticate(0, token);
        sync.sendAdd(0, 1, {{0, listDecks}, {1, getActiveDeck}});
        return true;
    }

    // Where most cases start: the deployment running with the case's config,
    // the demo account signed in over HTTP, and a sync connection opened with
    // its token.
    struct SignedIn {
        DevServerFixture f;
        std::optional<HttpCaller> http;
        QString token;
        SyncTestClient sync;

        bool open()
        {
            if (!f.start())
                return false;
            http.emplace(f.url());
            token = http->signIn(f).first;
            return openSession(f.url(), sync, token);
        }
        // The same, past the opening Transitions; gives the query set's, with the first answers.
        std::optional<QJsonObject> openPastTheOpening()
        {
            if (!open() || !sync.nextOfType(QStringLiteral("Transition")))
                return std::nullopt;
            return sync.nextOfType(QStringLiteral("Transition"));
        }
    };

private Q_SLOTS:
    void openingMessagesDeliverDecksAndActiveDeck()
    {
        SignedIn s;
        QVERIFY(s.open());

        const auto identityChange = s.sync.nextOfType(QStringLiteral("Transition"));
        QVERIFY(identityChange);
        QCOMPARE(versionOf(*identityChange, "startVersion", "identity"), 0);
        QCOMPARE(versionOf(*identityChange, "endVersion", "identity"), 1);

        const auto querySet = s.sync.nextOfType(QStringLiteral("Transition"));
        QVERIFY(querySet);
        QCOMPARE(versionOf(*querySet, "startVersion", "querySet"), 0);
        QCOMPARE(versionOf(*querySet, "endVersion", "querySet"), 1);
        QVERIFY(
            querySet->value(QStringLiteral("endVersion")).toObject().value(QStringLiteral("ts")).isString());
        const QJsonArray mods = modificationsOf(*querySet);
        QCOMPARE(mods.size(), 2);
        for (const QJsonValue &m : mods) {
            QCOMPARE(m.toObject().value(QStringLiteral("type")).toString(), QStringLiteral("QueryUpdated"));
            QVERIFY(m.toObject().value(QStringLiteral("logLines")).isArray());
        }
        const QJsonArray decks = mods.at(0).toObject().value(QStringLiteral("value")).toArray();
        QCOMPARE(decks.size(), 3);
        QStringList pairs;
        for (const QJsonValue &d : decks) {
            const QJsonObject deck = d.toObject();
            QVERIFY(deck.value(QStringLiteral("_id")).isString() &&
                    deck.value(QStringLiteral("name")).isString());
            pairs << deck.value(QStringLiteral("langFrom")).toString() + u'>' +
                         deck.value(QStringLiteral("langTo")).toString();
        }
        QCOMPARE(pairs, (QStringList{"en>fr", "en>de", "hu>en"}));
        QCOMPARE(mods.at(1).toObject().value(QStringLiteral("queryId")).toInt(), 1);
        QCOMPARE(mods.at(1).toObject().value(QStringLiteral("value")).toObject(), decks.at(0).toObject());
    }

    void changesOfTheActiveDeckArePushedAndNothingElse()
    {
        SignedIn s;
        const auto opening = s.openPastTheOpening();
        QVERIFY(opening);
        const QJsonObject german = listedDeck(*opening, 1);

        QVERIFY(s.http
                    ->call(QStringLiteral("mutation"), QStringLiteral("decks:setActiveDeck"),
                           {{"deckId", german.value(QStringLiteral("_id"))}}, s.token)
                    .isSuccess());
        const auto pushed = s.sync.nextOfType(QStringLiteral("Transition"));
        QVERIFY(pushed);
        const QJsonArray mods = modificationsOf(*pushed);
        QCOMPARE(mods.size(), 1); // the deck list did not change
        QCOMPARE(mods.at(0).toObject().value(QStringLiteral("queryId")).toInt(), 1);
        QCOMPARE(mods.at(0).toObject().value(QStringLiteral("value")).toObject(), german);
        QCOMPARE(versionOf(*pushed, "startVersion", "querySet"),
                 versionOf(*pushed, "endVersion", "querySet"));

        // Another account's change reaches nobody here.
        HttpCaller other(s.f.url());
        const CallResult signUp = other.call(QStringLiteral("action"), QStringLiteral("auth:signIn"),
                                             {{"provider", "password"},
                                              {"params", QJsonObject{{"email", "other@vocarta.test"},
                                                                     {"password", "long-enough"},
                                                                     {"flow", "signUp"}}}});
        const QString otherToken =
            signUp.value().toObject().value("tokens").toObject().value("token").toString();
        const QJsonArray otherDecks =
            other.call(QStringLiteral("query"), listDecks, {}, otherToken).value().toArray();
        QVERIFY(other
                    .call(QStringLiteral("mutation"), QStringLiteral("decks:setActiveDeck"),
                          {{"deckId", otherDecks.at(2).toObject().value("_id")}}, otherToken)
                    .isSuccess());
        // Removing a query answers with QueryRemoved: proof that nothing else was queued before it.
        s.sync.send({{"type", "ModifyQuerySet"},
                     {"baseVersion", 1},
                     {"newVersion", 2},
                     {"modifications", QJsonArray{QJsonObject{{"type", "Remove"}, {"queryId", 0}}}}});
        const auto removal = s.sync.next();
        QVERIFY(removal);
        QCOMPARE(removal->value(QStringLiteral("type")).toString(), QStringLiteral("Transition"));
        QCOMPARE(modificationsOf(*removal).at(0).toObject().value(QStringLiteral("type")).toString(),
                 QStringLiteral("QueryRemoved"));
    }

    void identityVersionsAreCountedPerConnection()
    {
        SignedIn s;
        QVERIFY(s.openPastTheOpening());

        // A second Authenticate bases on identity version 1, not on the query-set version.
        s.sync.sendAuthenticate(1, s.token);
        const auto reauth = s.sync.nextOfType(QStringLiteral("Transition"));
        QVERIFY(reauth);
        QCOMPARE(versionOf(*reauth, "endVersion", "identity"), 2);

        s.sync.sendAuthenticate(1, s.token);
        const auto fatal = s.sync.nextOfType(QStringLiteral("FatalError"));
        QVERIFY(fatal);
        QVERIFY(
            fatal->value(QStringLiteral("error")).toString().contains(QStringLiteral("identity version 2")));
        QVERIFY(s.sync.waitClosed());
    }

    void querySetVersionsMustChain()
    {
        DevServerFixture f;
        QVERIFY(f.start());
        SyncTestClient sync;
        QVERIFY(sync.open(f.url()));
        sync.sendConnect();
        sync.sendAdd(0, 1, {{0, listDecks}});
        const auto first = sync.nextOfType(QStringLiteral("Transition"));
        QVERIFY(first);
        QCOMPARE(modificationsOf(*first).at(0).toObject().value(QStringLiteral("value")),
                 QJsonValue(QJsonArray()));
        // Resending the opening set on a live connection: wrong base version.
        sync.sendAdd(0, 1, {{1, getActiveDeck}});
        QVERIFY(sync.nextOfType(QStringLiteral("FatalError")));
        QVERIFY(sync.waitClosed());
    }

    void duplicateAddClosesWith1011()
    {
        SignedIn s;
        QVERIFY(s.openPastTheOpening());
        // What a client does wrong when it resends its whole set with a new version.
        s.sync.sendAdd(1, 2, {{0, listDecks}, {1, getActiveDeck}, {2, listDecks}});
        QVERIFY(s.sync.waitClosed());
        QCOMPARE(s.sync.closeCode(), 1011);
    }

    void unknownOrEarlyMessagesAreFatal_data()
    {
        QTest::addColumn<bool>("connectFirst");
        QTest::addColumn<QJsonObject>("message");
        QTest::newRow("Pong") << true << QJsonObject{{"type", "Pong"}};
        QTest::newRow("no type") << true << QJsonObject{{"hello", 1}};
        QTest::newRow("malformed Authenticate")
            << true << QJsonObject{{"type", "Authenticate"}, {"tokenType", "User"}};
        const QJsonObject add{{"type", "Add"},
                              {"queryId", 0},
                              {"udfPath", listDecks},
                              {"args", QJsonArray{QJsonObject{}}},
                              {"journal", QJsonValue()}};
        // Anything before Connect, even a well-formed query set.
        QTest::newRow("query set before Connect") << false
                                                  << QJsonObject{{"type", "ModifyQuerySet"},
                                                                 {"baseVersion", 0},
                                                                 {"newVersion", 1},
                                                                 {"modifications", QJsonArray{add}}};
    }

    void unknownOrEarlyMessagesAreFatal()
    {
        QFETCH(bool, connectFirst);
        QFETCH(QJsonObject, message);
        DevServerFixture f;
        QVERIFY(f.start());
        SyncTestClient sync;
        QVERIFY(sync.open(f.url()));
        if (connectFirst)
            sync.sendConnect();
        sync.send(message);
        QVERIFY(sync.nextOfType(QStringLiteral("FatalError")));
        QVERIFY(sync.waitClosed());
        QTRY_COMPARE_WITH_TIMEOUT(f.server->syncConnectionCount(), 0, 20000);
    }

    void pingAfterQuietNeedsNoAnswer()
    {
        DevServerFixture f;
        f.config.pingInterval = std::chrono::milliseconds(200);
        QVERIFY(f.start());
        SyncTestClient sync;
        QVERIFY(sync.open(f.url()));
        sync.sendConnect();
        QVERIFY(sync.nextOfType(QStringLiteral("Ping")));
        QVERIFY(sync.nextOfType(QStringLiteral("Ping")));
        for (const QJsonObject &m : sync.received())
            QCOMPARE(m, (QJsonObject{{"type", "Ping"}}));
        QCOMPARE(f.server->syncConnectionCount(), 1);
    }

    void expiredTokenGetsAuthErrorThenClose()
    {
        SignedIn s;
        s.f.config.tokenTtl = std::chrono::minutes(1);
        QVERIFY(s.openPastTheOpening());

        s.f.clock.advance(60 * 1000);
        const auto authError = s.sync.nextOfType(QStringLiteral("AuthError"));
        QVERIFY(authError);
        QCOMPARE(authError->value(QStringLiteral("error")).toString(), QStringLiteral("Token expired"));
        QVERIFY(s.sync.waitClosed());

        // A reconnection with the expired token fails the same way, at once.
        SyncTestClient again;
        QVERIFY(openSession(s.f.url(), again, s.token));
        QVERIFY(again.nextOfType(QStringLiteral("AuthError")));
        QVERIFY(again.waitClosed());

        SyncTestClient stranger;
        QVERIFY(openSession(s.f.url(), stranger, QStringLiteral("never-issued")));
        const auto unknown = stranger.nextOfType(QStringLiteral("AuthError"));
        QVERIFY(unknown);
        QCOMPARE(unknown->value(QStringLiteral("error")).toString(),
                 QStringLiteral("Could not verify token"));
        QVERIFY(stranger.waitClosed());
    }

    void expiryTimerRunsOnTheWallClock()
    {
        QTemporaryDir dir;
        DevServerConfig config;
        config.port = 0;
        config.dataPath = dir.filePath(QStringLiteral("state.json"));
        config.tokenTtl = std::chrono::milliseconds(1500);
        DevServer server(config);
        QString error;
        QVERIFY2(server.start(&error), qPrintable(error));
        HttpCaller http(server.url());
        const QString userId =
            server.store().state().userByEmail(QString::fromLatin1(DevStore::demoEmail))->id;
        const CallResult r = http.call(QStringLiteral("action"), QStringLiteral("users:redeemMacLinkCode"),
                                       {{"code", server.auth().issueLinkCode(userId)}});
        SyncTestClient sync;
        QVERIFY(sync.open(server.url()));
        sync.sendConnect();
        sync.sendAuthenticate(0, r.value().toObject().value(QStringLiteral("token")).toString());
        const auto authError = sync.nextOfType(QStringLiteral("AuthError"), 30000);
        QVERIFY(authError);
        QCOMPARE(authError->value(QStringLiteral("error")).toString(), QStringLiteral("Token expired"));
        QVERIFY(sync.waitClosed());
    }

    void serverSideChangeAndRestartOnTheSamePort()
    {
        SignedIn s;
        const auto opening = s.openPastTheOpening();
        QVERIFY(opening);
        const QJsonObject hungarian = listedDeck(*opening, 2);
        QVERIFY(s.f.server->setActiveDeck(QString::fromLatin1(DevStore::demoEmail),
                                          hungarian.value("_id").toString()));
        const auto pushed = s.sync.nextOfType(QStringLiteral("Transition"));
        QVERIFY(pushed);
        QCOMPARE(modificationsOf(*pushed).at(0).toObject().value(QStringLiteral("value")).toObject(),
                 hungarian);

        // Stopping the server with a live sync client and a kept-alive HTTP connection.
        const quint16 port = s.f.server->port();
        s.f.server.reset();
        QVERIFY(s.sync.waitClosed());
        s.f.config.port = port;
        QVERIFY(s.f.start());
        QCOMPARE(s.f.server->port(), port);
        const CallResult r = s.http->call(QStringLiteral("query"), getActiveDeck, {}, s.token);
        QVERIFY(r.isSuccess());
        QCOMPARE(r.value().toObject(), hungarian);
        SyncTestClient again;
        QVERIFY(openSession(s.f.url(), again, s.token));
        const auto reopened = again.nextOfType(QStringLiteral("Transition"));
        QVERIFY(reopened);
        QCOMPARE(versionOf(*reopened, "endVersion", "identity"), 1);
    }
};

QTEST_GUILESS_MAIN(DevServerSyncTest)
#include "DevServerSyncTest.moc"
