#include "DevServerTestClient.h"

#include "DevStore.h"
#include "TaskOutcome.h"
#include "backend/ConvexClient.h"
#include "backend/ConvexError.h"

#include <QtTest>

// The program's HTTP client against the local deployment: what the two sides
// must agree on, with the deployment keeping the real server's rules.
class BackendClientAgainstDevServerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void signInAndEveryOperation()
    {
        DevServerFixture f;
        QVERIFY(f.start());
        ConvexClient client(f.url());

        const auto password = awaitTask(client.signIn(QString::fromLatin1(DevStore::demoEmail),
                                                      QString::fromLatin1(DevStore::demoPassword), "signIn"));
        QVERIFY2(password.succeeded(), qPrintable(password.description()));
        const auto user = awaitTask(client.getCurrentUser());
        QVERIFY2(user.succeeded(), qPrintable(user.description()));
        QCOMPARE(user.value->email, std::optional<QString>(QString::fromLatin1(DevStore::demoEmail)));

        const auto linked = awaitTask(client.redeemMacLinkCode(f.freshLinkCode()));
        QVERIFY2(linked.succeeded(), qPrintable(linked.description()));
        client.setTokens(linked.value->token, linked.value->refreshToken);

        const auto active = awaitTask(client.getActiveDeck());
        QVERIFY2(active.succeeded(), qPrintable(active.description()));
        QCOMPARE(active.value->langTo, QStringLiteral("fr"));
        const auto words =
            awaitTask(client.translateWord("car", active.value->langFrom, active.value->langTo));
        QVERIFY2(words.succeeded(), qPrintable(words.description()));
        QVERIFY(!words.value->isEmpty());
        const TranslationResult chosen = words.value->first();
        const auto saved = awaitTask(client.createCard(active.value->_id, chosen.word, chosen.translation,
                                                       chosen.phonetic, chosen.exampleSentence,
                                                       chosen.exampleSentenceTranslation, chosen.category));
        QVERIFY2(saved.succeeded(), qPrintable(saved.description()));
        QCOMPARE(f.server->store().state().cards.size(), 1);
        QCOMPARE(f.server->store().state().cards.first().word, chosen.word);

        const auto unknown = awaitTask(client.translateWord("xylophonic", "en", "fr"));
        QVERIFY(unknown.failure<ConvexError>());
        QVERIFY(unknown.description().contains(QStringLiteral("No translation found")));
    }

    void expiredAccessTokenIsRefreshedAndTheCallRepeated()
    {
        DevServerFixture f;
        QVERIFY(f.start());
        ConvexClient client(f.url());
        const auto linked = awaitTask(client.redeemMacLinkCode(f.freshLinkCode()));
        QVERIFY2(linked.succeeded(), qPrintable(linked.description()));
        client.setTokens(linked.value->token, linked.value->refreshToken);

        f.clock.advance(f.config.tokenTtl.count());
        const auto active = awaitTask(client.getActiveDeck());
        QVERIFY2(active.succeeded(), qPrintable(active.description()));
        QVERIFY(client.authToken() != std::optional<QString>(linked.value->token));
        QVERIFY(client.refreshToken() != std::optional<QString>(linked.value->refreshToken));

        // Presenting the replaced refresh token again after the grace ends the session.
        f.clock.advance(11000);
        client.setTokens(client.authToken(), linked.value->refreshToken);
        const auto reused = awaitTask(client.refreshSession());
        QVERIFY(reused.failure<ConvexError>());
        QCOMPARE(reused.description(), QStringLiteral("Auth failed: Token refresh failed"));
    }
};

QTEST_GUILESS_MAIN(BackendClientAgainstDevServerTest)
#include "BackendClientAgainstDevServerTest.moc"
