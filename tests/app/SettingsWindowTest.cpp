#include "FakeDeckState.h"
#include "FakeSession.h"
#include "QuickItemSearch.h"
#include "app/AppWindows.h"

#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

namespace {

// Shown on screen: visible itself and through all its parents.
bool shown(QQuickItem *item)
{
    return item && item->isVisible() && item->opacity() > 0;
}

} // namespace

class SettingsWindowTest : public QObject {
    Q_OBJECT

    QQmlEngine *m_engine = nullptr;
    FakeSession *m_auth = nullptr;
    FakeDeckState *m_decks = nullptr;
    AppWindows *m_windows = nullptr;
    QQuickWindow *m_window = nullptr;

    QQuickItem *item(const QString &name) { return findItem(m_window->contentItem(), name); }
    QString text(const QString &name)
    {
        return item(name) ? item(name)->property("text").toString() : QString();
    }
    void showTab(int index)
    {
        item("tabs")->setProperty("currentIndex", index);
        QCoreApplication::processEvents();
    }
    void click(QQuickItem *target)
    {
        QVERIFY(target);
        // Layouts settle on the next frame after a change of visibility.
        QSignalSpy frame(m_window, &QQuickWindow::frameSwapped);
        m_window->update();
        QVERIFY(frame.wait(20000));
        const QPoint centre =
            target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint();
        QTest::mouseClick(m_window, Qt::LeftButton, {}, centre);
    }

private Q_SLOTS:
    void init()
    {
        m_engine = new QQmlEngine;
        m_auth = new FakeSession;
        m_decks = new FakeDeckState;
        m_windows = new AppWindows(*m_engine, *m_auth, *m_decks);
        m_windows->openSettingsWindow();
        m_window = m_windows->settingsWindow();
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window, 20000));
    }
    void cleanup()
    {
        delete m_windows;
        delete m_engine;
        delete m_auth;
        delete m_decks;
    }

    void windowIsFixedAtItsSize()
    {
        QCOMPARE(m_window->size(), QSize(420, 320));
        QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
        QCOMPARE(text("accountTabButton").contains("Account"), true);
        QCOMPARE(text("decksTabButton").contains("Decks"), true);
    }

    void accountTabFollowsTheSession()
    {
        QCOMPARE(text("statusValue"), QStringLiteral("Not signed in"));
        QVERIFY(item("statusValue")->property("color").value<QColor>() != QColor("#34C759"));
        QVERIFY(!shown(item("accountRow")));
        QVERIFY(!shown(item("signOutSection")));

        // Signed out but the address is still known: the row shows.
        m_auth->setUserEmail("old@example.com");
        QVERIFY(shown(item("accountRow")));
        m_auth->setUserEmail("");

        m_auth->setAuthenticated(true);
        QCOMPARE(text("statusValue"), QStringLiteral("Signed in"));
        QCOMPARE(item("statusValue")->property("color").value<QColor>(), QColor("#34C759"));
        QVERIFY(!shown(item("accountRow")));
        QVERIFY(shown(item("signOutSection")));

        m_auth->setUserEmail("ana@example.com");
        QVERIFY(shown(item("accountRow")));
        QCOMPARE(text("accountValue"), QStringLiteral("ana@example.com"));

        click(item("signOutButton"));
        QCOMPARE(m_auth->signOutCalls, 1);
        QCOMPARE(text("statusValue"), QStringLiteral("Not signed in"));
        QVERIFY(!shown(item("accountRow")));
        QVERIFY(!shown(item("signOutSection")));
    }

    void decksTabStates()
    {
        QCOMPARE(m_decks->loadCalls, 0);
        showTab(1);
        QCOMPARE(m_decks->loadCalls, 1); // each showing makes sure the connection runs

        // Loading with decks known: only the progress shows.
        m_decks->setDecks({deck("a", "Spanish")});
        m_decks->setLoading(true);
        QVERIFY(shown(item("decksProgress")));
        QVERIFY(!shown(item("decksList")));
        QVERIFY(!shown(item("noDecks")));

        // An error with no decks: both texts.
        m_decks->setLoading(false);
        m_decks->setDecks({});
        m_decks->setError("Server error (500): boom");
        QVERIFY(!shown(item("decksProgress")));
        QVERIFY(shown(item("noDecks")));
        QCOMPARE(text("noDecks"), QStringLiteral("No decks found"));
        QVERIFY(shown(item("deckError")));
        QCOMPARE(text("deckError"), QStringLiteral("Server error (500): boom"));
        QCOMPARE(item("deckError")->property("color").value<QColor>(), QColor("#FF3B30"));
        m_decks->setError("");
        QVERIFY(!shown(item("deckError")));

        showTab(0);
        showTab(1);
        QCOMPARE(m_decks->loadCalls, 2);

        // Closing and opening the window again on this tab shows it again too.
        QVERIFY(!m_window->close());
        QTRY_VERIFY(!m_window->isVisible());
        m_windows->openSettingsWindow();
        QCOMPARE(m_windows->settingsWindow(), m_window);
        QTRY_COMPARE_WITH_TIMEOUT(m_decks->loadCalls, 3, 20000);
    }

    void decksListMarksAndSelectsById()
    {
        showTab(1);
        m_decks->setDecks(
            {deck("a", "Verbs", "en", "es"), deck("b", "Verbs", "de", "fr"), deck("c", "<b>Food</b>")});
        QVERIFY(shown(item("decksList")));
        QTRY_VERIFY(item("deckRow_b"));
        // No active deck: no mark, no selection.
        for (const char *id : {"a", "b", "c"})
            QVERIFY(!shown(findItem(item(QStringLiteral("deckRow_") + id), "checkMark")));
        QVERIFY(m_decks->selected.isEmpty());

        m_decks->setActiveDeck(deck("b", "Verbs", "de", "fr"));
        QVERIFY(!shown(findItem(item("deckRow_a"), "checkMark")));
        QVERIFY(shown(findItem(item("deckRow_b"), "checkMark")));

        // The caption is the language pair.
        bool captionFound = false;
        const auto texts = item("deckRow_b")->findChildren<QQuickItem *>();
        for (QQuickItem *t : texts)
            captionFound |= t->property("text").toString() == QStringLiteral("de \u2192 fr");
        QVERIFY(captionFound);
        // A name from the server is shown as it is, never read as markup.
        QQuickItem *name = nullptr;
        for (QQuickItem *t : item("deckRow_c")->findChildren<QQuickItem *>()) {
            if (t->property("text").toString() == QStringLiteral("<b>Food</b>"))
                name = t;
        }
        QVERIFY(name);
        QCOMPARE(name->property("textFormat").toInt(), 0); // Text.PlainText

        click(item("deckRow_c"));
        click(item("deckRow_b")); // the active one again still asks
        QCOMPARE(m_decks->selected, (QStringList{"c", "b"}));

        // The arrow keys move the selection through the deck state.
        item("decksList")->forceActiveFocus();
        QTest::keyClick(m_window, Qt::Key_Down);
        QCOMPARE(m_decks->selected.last(), QStringLiteral("c"));
        QTest::keyClick(m_window, Qt::Key_Up);
        QCOMPARE(m_decks->selected.last(), QStringLiteral("a"));
        QCOMPARE(m_decks->selected.size(), 4);

        // A new list never picks a deck by itself.
        m_decks->setDecks({deck("x", "New"), deck("y", "Other")});
        QCoreApplication::processEvents();
        QCOMPARE(m_decks->selected.size(), 4);
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "SettingsWindowTest.moc"
