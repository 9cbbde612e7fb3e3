// The tray menu over the real deck state and sync client, against the fake
// deployment: decks arrive as Deck records, choosing one goes to the server,
// and refreshing while connected opens no second connection.
#include "FakeSession.h"
#include "SyncTestRig.h"
#include "sync/DeckStateManager.h"
#include "tray/TrayMenu.h"

#include <QAction>
#include <QApplication>
#include <QJsonArray>
#include <QMenu>
#include <QtTest>

#include <QCoroTask>

namespace {

QAction *find(const QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

int connectFrames(const FakeSyncEndpoint &endpoint)
{
    int count = 0;
    for (const auto &frame : endpoint.frames())
        count += frame.type() == u"Connect";
    return count;
}

} // namespace

class MenuWithDeckStateTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decksFromTheServer()
    {
        SyncTestRig rig;
        rig.http->setTokens(QStringLiteral("t1"), QStringLiteral("r1"));
        rig.endpoint.setAcceptedTokens({"t1"});
        const QJsonObject spanish{{"_id", "d1"}, {"name", "Spanish"}, {"langFrom", "en"}, {"langTo", "es"}};
        const QJsonObject french{{"_id", "d2"}, {"name", "French"}, {"langFrom", "en"}, {"langTo", "fr"}};
        rig.endpoint.setQueryResult("decks:listDecks", QJsonArray{spanish, french});
        rig.endpoint.setQueryResult("decks:getActiveDeck", french);
        rig.deployment.answer("decks:setActiveDeck", FakeDeployment::Answer::success(QJsonValue()));

        DeckStateManager deckState(*rig.client, *rig.http);
        FakeSession auth;
        auth.setAuthenticated(true);
        TrayMenu menu(auth, deckState);

        Q_EMIT menu.menu()->aboutToShow(); // showing the menu starts the live decks
        QTRY_VERIFY_WITH_TIMEOUT(find(menu.menu(), "Active: French"), 20000);
        QVERIFY(find(menu.menu(), "French")->isChecked());
        QVERIFY(!find(menu.menu(), "Spanish")->isChecked());
        QVERIFY(find(menu.menu(), "Add Card...")->isEnabled());
        QCOMPARE(rig.endpoint.openSocketCount(), 1);

        // Connected: refreshing asks for nothing new.
        find(menu.menu(), "Refresh Decks")->trigger();
        QCoro::waitFor(deckState.load()); // the same step again, as a point of order
        QCOMPARE(connectFrames(rig.endpoint), 1);
        QCOMPARE(rig.endpoint.openSocketCount(), 1);

        // Choosing a deck goes to the server; the mark moves once it agrees.
        find(menu.menu(), "Spanish")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(find(menu.menu(), "Active: Spanish"), 20000);
        const auto calls = rig.deployment.requestsFor("decks:setActiveDeck");
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().args().value("deckId").toString(), QStringLiteral("d1"));
        QVERIFY(find(menu.menu(), "Spanish")->isChecked());
        QVERIFY(!find(menu.menu(), "French")->isChecked());

        // The server refuses a change: the active deck keeps its mark, also
        // when it was the item clicked.
        rig.deployment.answer("decks:setActiveDeck",
                              FakeDeployment::Answer::error(QStringLiteral("refused")));
        for (const char *clicked : {"Spanish", "French"}) {
            const int before = rig.deployment.count("decks:setActiveDeck");
            find(menu.menu(), clicked)->trigger();
            QTRY_COMPARE_WITH_TIMEOUT(rig.deployment.count("decks:setActiveDeck"), before + 1, 20000);
            QTRY_VERIFY_WITH_TIMEOUT(deckState.property("hasError").toBool(), 20000);
            QTRY_VERIFY_WITH_TIMEOUT(find(menu.menu(), "Spanish")->isChecked(), 20000);
            QVERIFY(!find(menu.menu(), "French")->isChecked());
            QVERIFY(find(menu.menu(), "Active: Spanish"));
        }
    }
};

QTEST_MAIN(MenuWithDeckStateTest)
#include "MenuWithDeckStateTest.moc"
