#include "SyncTestRig.h"
#include "TaskOutcome.h"

#include "backend/ConvexError.h"
#include "sync/DeckStateManager.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

namespace {

// As stored: documents carry more than the client reads.
QJsonObject document(const QString &id, const QString &name)
{
    QJsonObject json = deckJson(id, name, QStringLiteral("de"));
    json.insert(QStringLiteral("_creationTime"), 1765000000123.5);
    json.insert(QStringLiteral("userId"), QStringLiteral("u1"));
    return json;
}

Deck deck(const QString &id, const QString &name)
{
    return Deck::fromJson(document(id, name));
}

} // namespace

class DeckStateManagerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void subscribesOnceListFirstAndLoadsUntilTheFirstList();
    void updatesReplaceListAndActiveDeck();
    void selectChangesOnlyAfterTheServerAccepted();
    void callbacksOutliveADestroyedDeckState();
    void qmlPropertiesMirrorTheState();
    void deckListStepsFromTheActiveDeck_data();
    void deckListStepsFromTheActiveDeck();
};

void DeckStateManagerTest::subscribesOnceListFirstAndLoadsUntilTheFirstList()
{
    SyncTestRig rig;
    DeckStateManager state(*rig.client, *rig.http);
    QSignalSpy loading(&state, &DeckStateManager::isLoadingChanged);
    QVERIFY(!state.isLoading());

    auto first = startTask(state.startSubscriptions());
    auto second = startTask(state.startSubscriptions()); // while the first is still under way
    QVERIFY(state.isLoading());
    QTRY_VERIFY_WITH_TIMEOUT(first->finished && second->finished, timeout);
    QVERIFY(awaitTask(state.startSubscriptions()).succeeded());
    QVERIFY(awaitTask(state.load()).succeeded());

    QCOMPARE(rig.endpoint.connectionsOpened(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(rig.endpoint.liveQueries(),
                              (QMap<int, QString>{{0, "decks:listDecks"}, {1, "decks:getActiveDeck"}}),
                              timeout);
    QCOMPARE(rig.endpoint.framesOfType("ModifyQuerySet").size(), 1);
    QVERIFY(state.isLoading()); // no list yet: the server has not answered

    rig.endpoint.setQueryResult(QStringLiteral("decks:listDecks"), QJsonArray());
    QTRY_VERIFY_WITH_TIMEOUT(!state.isLoading(), timeout);
    QVERIFY(state.decks().isEmpty());
    QCOMPARE(loading.size(), 2); // true once per run, then false
    QVERIFY(rig.endpoint.violations().isEmpty());
}

void DeckStateManagerTest::updatesReplaceListAndActiveDeck()
{
    SyncTestRig rig;
    DeckStateManager state(*rig.client, *rig.http);
    rig.endpoint.setQueryResult("decks:listDecks",
                                QJsonArray{document("d1", "Verbs"), document("d2", "Food")});
    rig.endpoint.setQueryResult("decks:getActiveDeck", document("d2", "Food"));
    QVERIFY(awaitTask(state.startSubscriptions()).succeeded());
    QTRY_COMPARE_WITH_TIMEOUT(names(state.decks()), QStringList({"Verbs", "Food"}), timeout);
    QTRY_COMPARE_WITH_TIMEOUT(state.activeDeck(), std::optional<Deck>(deck("d2", "Food")), timeout);

    // No active deck: the list stays.
    rig.endpoint.setQueryResult("decks:getActiveDeck", QJsonValue());
    QTRY_COMPARE_WITH_TIMEOUT(state.activeDeck(), std::nullopt, timeout);
    QCOMPARE(names(state.decks()), QStringList({"Verbs", "Food"}));

    // One malformed deck empties the whole list.
    QJsonObject broken = document("d3", "Broken");
    broken.remove("langTo");
    rig.endpoint.setQueryResult("decks:listDecks", QJsonArray{document("d1", "Verbs"), broken});
    QTRY_VERIFY_WITH_TIMEOUT(state.decks().isEmpty(), timeout);
    QVERIFY(!state.isLoading());

    rig.endpoint.setQueryResult("decks:getActiveDeck", QJsonArray{document("d1", "Verbs")}); // wrong shape
    rig.endpoint.setQueryResult("decks:listDecks", QJsonArray{document("d1", "Verbs")});
    QTRY_COMPARE_WITH_TIMEOUT(names(state.decks()), QStringList({"Verbs"}), timeout);
    QCOMPARE(state.activeDeck(), std::nullopt);
}

void DeckStateManagerTest::selectChangesOnlyAfterTheServerAccepted()
{
    SyncTestRig rig;
    DeckStateManager state(*rig.client, *rig.http);
    rig.http->setTokens(QStringLiteral("access"), QStringLiteral("refresh"));
    rig.endpoint.setQueryResult("decks:listDecks",
                                QJsonArray{document("d1", "Verbs"), document("d2", "Food")});
    rig.endpoint.setQueryResult("decks:getActiveDeck", document("d1", "Verbs"));
    QVERIFY(awaitTask(state.startSubscriptions()).succeeded());
    QTRY_COMPARE_WITH_TIMEOUT(state.activeDeck(), std::optional<Deck>(deck("d1", "Verbs")), timeout);
    QSignalSpy activeChanges(&state, &DeckStateManager::activeDeckChanged);

    // Rejected: the deck stays, the failure's text shows.
    rig.deployment.answerOnce("decks:setActiveDeck",
                              FakeDeployment::Answer::error(QStringLiteral("Deck not found")));
    state.select(deck("d2", "Food"));
    QCOMPARE(state.activeDeck(), std::optional<Deck>(deck("d1", "Verbs"))); // no optimistic change
    QTRY_VERIFY_WITH_TIMEOUT(state.hasError(), timeout);
    const QString rejected = ConvexError::serverError(200, QStringLiteral("Deck not found")).description();
    QCOMPARE(state.error(), std::optional<QString>(rejected));
    QCOMPARE(state.activeDeck(), std::optional<Deck>(deck("d1", "Verbs")));
    QCOMPARE(rig.deployment.requestsFor("decks:setActiveDeck").last().args(),
             QJsonObject({{"deckId", "d2"}}));

    // Accepted (picked by id, as QML does): the deck changes, the old error text stays.
    rig.deployment.answer("decks:setActiveDeck", FakeDeployment::Answer::success(QStringLiteral("ok")));
    state.select(QStringLiteral("d2"));
    QTRY_COMPARE_WITH_TIMEOUT(state.activeDeck(), std::optional<Deck>(deck("d2", "Food")), timeout);
    QCOMPARE(state.error(), std::optional<QString>(rejected));

    // The server's push of the same deck sets it a second time, to an equal value.
    rig.endpoint.setQueryResult("decks:getActiveDeck", document("d2", "Food"));
    QTRY_COMPARE_WITH_TIMEOUT(activeChanges.size(), 2, timeout);
    QCOMPARE(state.activeDeck(), std::optional<Deck>(deck("d2", "Food")));

    // Choosing the active deck again still asks the server; an unknown id asks nothing.
    const int before = rig.deployment.count("decks:setActiveDeck");
    state.select(QStringLiteral("d2"));
    state.select(QStringLiteral("nope"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.deployment.count("decks:setActiveDeck"), before + 1, timeout);
    QTRY_COMPARE_WITH_TIMEOUT(activeChanges.size(), 3, timeout);
}

void DeckStateManagerTest::callbacksOutliveADestroyedDeckState()
{
    SyncTestRig rig;
    auto *state = new DeckStateManager(*rig.client, *rig.http);
    rig.http->setTokens(QStringLiteral("access"), QStringLiteral("refresh"));
    QVERIFY(awaitTask(state->startSubscriptions()).succeeded());
    rig.deployment.answer(
        "decks:setActiveDeck",
        FakeDeployment::Answer::success(QJsonValue()).after(std::chrono::milliseconds(200)));
    state->select(deck("d1", "Verbs"));
    delete state;

    // Results and the pending change arrive after the state is gone: nothing breaks.
    rig.endpoint.setQueryResult("decks:listDecks", QJsonArray{document("d1", "Verbs")});
    rig.endpoint.setQueryResult("decks:getActiveDeck", document("d1", "Verbs"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.linesStartingWith("[Convex WS] Transition for queryId="), 2, timeout);
    QCoreApplication::sendPostedEvents(); // the queued callbacks
    // A later call with the same delay ends after the abandoned one.
    QVERIFY(awaitTask(rig.http->setActiveDeck(QStringLiteral("d1"))).succeeded());
    QCOMPARE(rig.deployment.count("decks:setActiveDeck"), 2);
    QVERIFY(rig.client->isConnected());
}

void DeckStateManagerTest::qmlPropertiesMirrorTheState()
{
    SyncTestRig rig;
    DeckStateManager state(*rig.client, *rig.http);
    const DeckListModel &list = *state.property("deckList").value<DeckListModel *>();
    QCOMPARE(list.count(), 0);
    QCOMPARE(list.activeIndex(), -1);
    QCOMPARE(state.property("error").toString(), QString());
    QCOMPARE(state.property("hasError").toBool(), false);

    rig.endpoint.setQueryResult("decks:listDecks", QJsonArray{document("d1", "Verbs")});
    rig.endpoint.setQueryResult("decks:getActiveDeck", document("d1", "Verbs"));
    state.startSubscriptionsLater();
    QTRY_COMPARE_WITH_TIMEOUT(list.count(), 1, timeout);
    QTRY_COMPARE_WITH_TIMEOUT(list.activeIndex(), 0, timeout);
    QCOMPARE(list.data(list.index(0), DeckListModel::DeckIdRole).toString(), QStringLiteral("d1"));
    QCOMPARE(list.data(list.index(0), DeckListModel::NameRole).toString(), QStringLiteral("Verbs"));
    QCOMPARE(list.data(list.index(0), DeckListModel::ActiveRole).toBool(), true);
    QCOMPARE(state.property("isLoading").toBool(), false);
}

void DeckStateManagerTest::deckListStepsFromTheActiveDeck_data()
{
    QTest::addColumn<QString>("active");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("expected");
    QTest::newRow("none active, down: the first") << "" << 1 << "a";
    QTest::newRow("none active, up: the last") << "" << -1 << "c";
    QTest::newRow("active not listed, up: the last") << "gone" << -1 << "c";
    QTest::newRow("down from the middle") << "b" << 1 << "c";
    QTest::newRow("up from the middle") << "b" << -1 << "a";
    QTest::newRow("past the end: nothing") << "c" << 1 << "";
    QTest::newRow("before the start: nothing") << "a" << -1 << "";
}

void DeckStateManagerTest::deckListStepsFromTheActiveDeck()
{
    QFETCH(QString, active);
    QFETCH(int, step);
    QFETCH(QString, expected);
    DeckListModel list;
    list.setDecks({deck("a", "A"), deck("b", "B"), deck("c", "C")});
    list.setActiveId(active);
    QCOMPARE(list.idAfter(step), expected);
    QStringList marked;
    for (int row = 0; row < list.count(); ++row) {
        if (list.data(list.index(row), DeckListModel::ActiveRole).toBool())
            marked.append(list.data(list.index(row), DeckListModel::DeckIdRole).toString());
    }
    QCOMPARE(marked, active.isEmpty() || active == u"gone" ? QStringList() : QStringList{active});
}

QTEST_GUILESS_MAIN(DeckStateManagerTest)
#include "DeckStateManagerTest.moc"
