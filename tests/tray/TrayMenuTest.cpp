#include "tray/TrayMenu.h"
#include "FakeDeckState.h"
#include "FakeSession.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QtTest>

namespace {

// One line per entry: "---" for a separator, else the text, "[off]" when
// disabled and "[x]" when checked, so whole menus compare at a glance.
QStringList describe(const QMenu *menu)
{
    QStringList lines;
    for (const QAction *action : menu->actions()) {
        if (action->isSeparator()) {
            lines << QStringLiteral("---");
            continue;
        }
        QString line = action->text();
        if (!action->isEnabled())
            line += QStringLiteral(" [off]");
        if (action->isChecked())
            line += QStringLiteral(" [x]");
        lines << line;
    }
    return lines;
}

QAction *find(const QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

} // namespace

class TrayMenuTest : public QObject {
    Q_OBJECT

private:
    // How often the menu asked for each thing outside the session and the deck state.
    struct Requests {
        explicit Requests(TrayMenu &menu)
            : authWindow(&menu, &TrayMenu::authWindowRequested)
            , addCard(&menu, &TrayMenu::addCardRequested)
            , updates(&menu, &TrayMenu::updateCheckRequested)
            , quit(&menu, &TrayMenu::quitRequested)
        {
        }
        QSignalSpy authWindow, addCard, updates, quit;
    };

private Q_SLOTS:
    void signedOutShowsSignInAndQuitOnly()
    {
        FakeSession auth;
        FakeDeckState decks;
        decks.setDecks({deck("a", "Spanish")});
        TrayMenu menu(auth, decks);
        Requests counts(menu);
        QCOMPARE(describe(menu.menu()), (QStringList{"Sign In...", "---", "Quit Vocarta Menubar"}));

        Q_EMIT menu.menu()->aboutToShow();
        QCOMPARE(decks.startCalls, 0);
        find(menu.menu(), "Sign In...")->trigger();
        QCOMPARE(counts.authWindow.count(), 1);
        find(menu.menu(), "Quit Vocarta Menubar")->trigger();
        QCOMPARE(counts.quit.count(), 1);
    }

    void signedInLayouts_data()
    {
        QTest::addColumn<QList<Deck>>("deckList");
        QTest::addColumn<std::optional<Deck>>("active");
        QTest::addColumn<bool>("loading");
        QTest::addColumn<QStringList>("expected");
        const QStringList tail{"Settings...", "Check for Updates...", "Relink...", "---",
                               "Quit Vocarta Menubar"};
        const QString none = TrayMenu::noActiveDeckText() + " [off]";

        QTest::newRow("empty list, loading: no deck separator")
            << QList<Deck>{} << std::optional<Deck>() << true
            << QStringList{"Loading decks... [off]", "---", "Refreshing... [off]", "Add Card... [off]",
                           "---"} +
                   tail;
        QTest::newRow("empty list, loaded")
            << QList<Deck>{} << std::optional<Deck>() << false
            << QStringList{none, "---", "Refresh Decks", "Add Card... [off]", "---"} + tail;
        QTest::newRow("decks without an active one")
            << QList<Deck>{deck("a", "Spanish"), deck("b", "French")} << std::optional<Deck>() << false
            << QStringList{none,  "---",           "Spanish",           "French",
                           "---", "Refresh Decks", "Add Card... [off]", "---"} +
                   tail;
        QTest::newRow("active deck") << QList<Deck>{deck("a", "Spanish"), deck("b", "French")}
                                     << std::optional(deck("b", "French")) << false
                                     << QStringList{"Active: French [off]", "---", "Spanish",
                                                    "French [x]",           "---", "Refresh Decks",
                                                    "Add Card...",          "---"} +
                                            tail;
        QTest::newRow("loading with an active deck: active wins, add card off")
            << QList<Deck>{deck("a", "Spanish")} << std::optional(deck("a", "Spanish")) << true
            << QStringList{"Active: Spanish [off]", "---", "Spanish [x]", "---", "Refreshing... [off]",
                           "Add Card... [off]",     "---"} +
                   tail;
        QTest::newRow("same names: the mark follows _id")
            << QList<Deck>{deck("a", "Verbs"), deck("b", "Verbs")} << std::optional(deck("b", "Verbs"))
            << false
            << QStringList{"Active: Verbs [off]", "---",         "Verbs", "Verbs [x]", "---",
                           "Refresh Decks",       "Add Card...", "---"} +
                   tail;
        QTest::newRow("active deck not in the list")
            << QList<Deck>{deck("a", "Spanish")} << std::optional(deck("z", "Gone")) << false
            << QStringList{"Active: Gone [off]", "---",         "Spanish", "---",
                           "Refresh Decks",      "Add Card...", "---"} +
                   tail;
        QTest::newRow("ampersand shown literally")
            << QList<Deck>{deck("a", "Salt & Pepper")} << std::optional(deck("a", "Salt & Pepper")) << false
            << QStringList{"Active: Salt && Pepper [off]",
                           "---",
                           "Salt && Pepper [x]",
                           "---",
                           "Refresh Decks",
                           "Add Card...",
                           "---"} +
                   tail;
    }

    void signedInLayouts()
    {
        QFETCH(QList<Deck>, deckList);
        QFETCH(std::optional<Deck>, active);
        QFETCH(bool, loading);
        QFETCH(QStringList, expected);
        FakeSession auth;
        auth.setAuthenticated(true);
        FakeDeckState decks;
        decks.setDecks(deckList);
        decks.setActiveDeck(active);
        decks.setLoading(loading);
        TrayMenu menu(auth, decks);
        QCOMPARE(describe(menu.menu()), expected);
        int checkable = 0;
        for (QAction *a : menu.menu()->actions())
            checkable += a->isCheckable();
        QVERIFY(checkable <= 1);
    }

    void itemsCallTheirTargets()
    {
        FakeSession auth;
        auth.setAuthenticated(true);
        FakeDeckState decks;
        decks.setDecks({deck("a", "Verbs"), deck("b", "Verbs")});
        decks.setActiveDeck(deck("a", "Verbs"));
        TrayMenu menu(auth, decks);
        Requests counts(menu);

        menu.menu()->actions().at(3)->trigger(); // the second "Verbs"
        QCOMPARE(decks.selected, QStringList{"b"});
        menu.menu()->actions().at(2)->trigger(); // choosing the active deck again still selects
        QCOMPARE(decks.selected, (QStringList{"b", "a"}));
        find(menu.menu(), "Refresh Decks")->trigger();
        QCOMPARE(decks.loadCalls, 1);
        find(menu.menu(), "Add Card...")->trigger();
        QCOMPARE(counts.addCard.count(), 1);
        find(menu.menu(), "Settings...")->trigger();
        QCOMPARE(counts.authWindow.count(), 1);
        find(menu.menu(), "Check for Updates...")->trigger();
        QCOMPARE(counts.updates.count(), 1);
        QCOMPARE(decks.startCalls, 0);
        Q_EMIT menu.menu()->aboutToShow();
        Q_EMIT menu.menu()->aboutToShow();
        QCOMPARE(decks.startCalls, 2); // the deck state ignores starts after the first
    }

    void relinkSignsOutThenOpensTheWindow()
    {
        FakeSession auth;
        auth.setAuthenticated(true);
        FakeDeckState decks;
        TrayMenu menu(auth, decks);
        Requests counts(menu);
        QPointer<QAction> relink = find(menu.menu(), "Relink...");
        relink->trigger(); // rebuilds the menu from inside its own handler
        QCOMPARE(auth.signOutCalls, 1);
        QCOMPARE(counts.authWindow.count(), 2); // once for losing the session, once for the item
        QCOMPARE(describe(menu.menu()), (QStringList{"Sign In...", "---", "Quit Vocarta Menubar"}));
        QTRY_VERIFY(relink.isNull());
    }

    void followsStateChangesWhileOpen()
    {
        FakeSession auth;
        FakeDeckState decks;
        TrayMenu menu(auth, decks);
        Requests counts(menu);
        menu.menu()->popup(QPoint(100, 100));
        QVERIFY(QTest::qWaitForWindowExposed(menu.menu()));

        auth.setAuthenticated(true);
        QCOMPARE(decks.startCalls, 1); // becoming signed in starts the deck state
        QCOMPARE(counts.authWindow.count(), 0);
        decks.setLoading(true);
        QCOMPARE(describe(menu.menu()).first(), QStringLiteral("Loading decks... [off]"));
        decks.setDecks({deck("a", "Spanish")});
        decks.setLoading(false);
        decks.setActiveDeck(deck("a", "Spanish"));
        QCOMPARE(describe(menu.menu()).mid(0, 3),
                 (QStringList{"Active: Spanish [off]", "---", "Spanish [x]"}));
        QVERIFY(menu.menu()->isVisible());

        auth.setAuthenticated(false);
        QCOMPARE(counts.authWindow.count(), 1); // losing the session shows the sign-in page
        auth.setAuthenticated(false);           // no change, no second window
        QCOMPARE(counts.authWindow.count(), 1);
        menu.menu()->hide();
    }

    void distributionBuildsNameThePackageManager()
    {
        FakeSession auth;
        auth.setAuthenticated(true);
        FakeDeckState decks;
        TrayMenu menu(auth, decks, true);
        QVERIFY(!find(menu.menu(), "Check for Updates..."));
        QVERIFY(describe(menu.menu()).contains("Updates Come from the Package Manager [off]"));
    }
};

QTEST_MAIN(TrayMenuTest)
#include "TrayMenuTest.moc"
