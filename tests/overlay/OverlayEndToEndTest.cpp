#include "CaptureRig.h"
#include "QuickItemSearch.h"
#include "TestSupport.h"

#include "DevAuth.h"
#include "DevServer.h"
#include "DevStore.h"

#include "app/Fonts.h"
#include "overlay/AddCardOverlayContent.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include <memory>

using namespace CaptureTest;

namespace {
QJsonObject candidate(const QString &word, const QString &translation)
{
    return translationJson(word, translation, "ˈrøːt hʉːs", "Vi bor i ett rött hus.",
                           "We live in a red house.", "phrase");
}
} // namespace

// The whole road of one capture on the test display: a selection in another
// application, the shortcut pressed with xdotool, the overlay with the word,
// Return, a candidate chosen (with the mouse, or from the keyboard alone),
// "ADD", the card at the fake deployment.
class OverlayEndToEndTest : public QObject {
    Q_OBJECT

    // Clicks the middle of `item` with the real pointer, once it stays put
    // (the card springs to its new height after each phase).
    bool clickWhenSettled(QQuickItem *item)
    {
        QPoint last(-1, -1);
        QElapsedTimer unchanged;
        unchanged.start();
        const bool settled = QTest::qWaitFor(
            [&] {
                const QPoint now =
                    item->mapToGlobal(QPointF(item->width() / 2, item->height() / 2)).toPoint();
                if (now != last) {
                    last = now;
                    unchanged.restart();
                }
                return unchanged.elapsed() >= 300;
            },
            20000);
        return settled && xdotool({QStringLiteral("mousemove"), QString::number(last.x()),
                                   QString::number(last.y()), QStringLiteral("click"), QStringLiteral("1")});
    }

    // The shared rig with Ctrl+Alt+K registered, "red house" selected in
    // another application, and two candidates for it; or against the local
    // deployment at `deployment`, signed in with `tokens`, with `selected` at
    // `range` of `text`.
    struct Rig : CaptureRig {
        QString selection = QStringLiteral("red house");

        Rig(const QUrl &deployment, const DevTokenPair &tokens, const QString &text, const QString &range,
            const QString &selected)
            : CaptureRig(KeyCombo(40, KeyCombo::ControlFlag | KeyCombo::OptionFlag), text, range,
                         Deployment{deployment, tokens.token, tokens.refreshToken})
            , selection(selected)
        {
        }
        Rig()
            : CaptureRig(KeyCombo(40, KeyCombo::ControlFlag | KeyCombo::OptionFlag),
                         QStringLiteral("a red house here"), QStringLiteral("2,11"))
        {
            fake.answer("ai:translateWord", FakeDeployment::Answer::success(
                                                QJsonArray{candidate("ett rött hus", "a red house"),
                                                           candidate("en röd stuga", "a red cottage")}));
            fake.answer("cards:createCard", FakeDeployment::Answer::success(QStringLiteral("card-1")));
        }

        QQuickItem *find(const char *name) const
        {
            return findItem(panel->window()->contentItem(), QString::fromLatin1(name));
        }

        // Presses the shortcut and waits for the overlay with the selection,
        // holding the keyboard.
        void pressShortcut()
        {
            QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+k")}));
            QTRY_VERIFY_WITH_TIMEOUT(panel->isOpen(), 20000);
            QTRY_COMPARE_WITH_TIMEOUT(panel->content()->word(), selection, 20000);
            QQuickItem *field = find("wordField");
            QVERIFY(field);
            QCOMPARE(field->property("text").toString(), selection);
            // The overlay took the keyboard from the other application.
            QTRY_VERIFY_WITH_TIMEOUT(panel->window()->isActive() && field->hasActiveFocus(), 20000);
            QTRY_VERIFY_WITH_TIMEOUT(panel->content()->activeDeck().has_value(), 20000);
        }

        // Return in the field: the deployment's candidates are listed.
        void translate()
        {
            QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
            QTRY_COMPARE_WITH_TIMEOUT(panel->content()->phase(), AddCardOverlayContent::Phase::Results,
                                      20000);
        }

        void expectSaved(const QString &word, const QString &translation)
        {
            QTRY_COMPARE_WITH_TIMEOUT(fake.count("cards:createCard"), 1, 20000);
            QJsonObject expected = candidate(word, translation);
            expected.insert("deckId", "deck-7");
            QCOMPARE(fake.requestsFor("cards:createCard").first().args(), expected);
            QTRY_VERIFY_WITH_TIMEOUT(!panel->isOpen(), 20000);
            QVERIFY(!panel->window()->isVisible());
        }
    };

private Q_SLOTS:
    void initTestCase()
    {
        if (!inTestSession())
            QSKIP("runs inside scripts/with-session");
        QVERIFY(X11HotKeyService::isAvailable());
        registerFonts();
        ViewEngine::selectDefaultSceneGraph();
    }

    void selectionToSavedCard()
    {
        Rig rig;
        QVERIFY(rig.app);
        rig.pressShortcut();
        if (QTest::currentTestFailed())
            return;

        rig.translate();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(rig.fake.requestsFor("ai:translateWord").first().args(),
                 (QJsonObject{{"word", "red house"}, {"langFrom", "en"}, {"langTo", "sv"}}));
        QTRY_VERIFY_WITH_TIMEOUT(rig.find("resultEntry1"), 20000);
        QCOMPARE(
            findItem(rig.find("resultEntry1"), QStringLiteral("resultLabel"))->property("text").toString(),
            QStringLiteral("en röd stuga"));

        QVERIFY(clickWhenSettled(rig.find("resultEntry1")));
        QTRY_COMPARE_WITH_TIMEOUT(rig.panel->content()->phase(), AddCardOverlayContent::Phase::Selected,
                                  20000);
        QCOMPARE(rig.panel->content()->selected()->word, QStringLiteral("en röd stuga"));
        // A mouse user never saw a highlight.
        QCOMPARE(rig.panel->content()->highlightedIndex(), -1);
        QTRY_VERIFY_WITH_TIMEOUT(rig.find("addButton"), 20000);

        QVERIFY(clickWhenSettled(rig.find("addButton")));
        rig.expectSaved(QStringLiteral("en röd stuga"), QStringLiteral("a red cottage"));
    }

    // Closed through the window manager (openbox's Alt+F4), the overlay
    // opens again on the next shortcut; then the whole flow from the
    // keyboard alone: Return, Down, Return, Return.
    void keyboardOnlyAfterAWindowManagerClose()
    {
        Rig rig;
        QVERIFY(rig.app);
        rig.pressShortcut();
        if (QTest::currentTestFailed())
            return;
        QPointer<AddCardOverlayContent> first = rig.panel->content();
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("alt+F4")}));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->isOpen(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 20000);
        // As a person would, press again once the other application is in front.
        QTRY_VERIFY_WITH_TIMEOUT(!QGuiApplication::focusWindow(), 20000);

        rig.pressShortcut();
        if (QTest::currentTestFailed())
            return;
        rig.translate();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(rig.panel->content()->highlightedIndex(), -1);
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Down")}));
        QTRY_COMPARE_WITH_TIMEOUT(rig.panel->content()->highlightedIndex(), 0, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(
            rig.find("resultEntry0")->property("border").value<QObject *>()->property("width").toInt(), 4,
            20000);
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
        QTRY_COMPARE_WITH_TIMEOUT(rig.panel->content()->phase(), AddCardOverlayContent::Phase::Selected,
                                  20000);
        QCOMPARE(rig.panel->content()->selected()->word, QStringLiteral("ett rött hus"));
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
        rig.expectSaved(QStringLiteral("ett rött hus"), QStringLiteral("a red house"));
    }

    // Against the local deployment with the installed dictionaries: a plural
    // selected in a real text field reaches it as a card carrying the
    // dictionary's translation and IPA; that sense has no example pair, and
    // the card showed no empty example row.
    void pluralBecomesADictionaryCard()
    {
        QTemporaryDir dir;
        DevServerConfig config;
        config.port = 0;
        config.dataPath = dir.filePath(QStringLiteral("state.json"));
        config.dictionaryDir = QStringLiteral("/usr/share/dictd");
        DevServer server(config);
        QString error;
        QVERIFY2(server.start(&error), qPrintable(error));
        const QString email = QString::fromLatin1(DevStore::demoEmail);
        const DevUser *user = server.store().state().userByEmail(email);
        QVERIFY(user);
        QString germanDeck;
        for (const DevDeck &deck : server.store().state().decksOf(user->id))
            if (deck.langFrom == QLatin1String("en") && deck.langTo == QLatin1String("de"))
                germanDeck = deck.id;
        QVERIFY(server.setActiveDeck(email, germanDeck));

        Rig rig(server.url(), server.auth().startSession(user->id),
                QStringLiteral("Old houses line the river"), QStringLiteral("4,10"),
                QStringLiteral("houses"));
        QVERIFY(rig.app);
        rig.pressShortcut();
        if (QTest::currentTestFailed())
            return;
        rig.translate();
        if (QTest::currentTestFailed())
            return;
        QTRY_VERIFY_WITH_TIMEOUT(rig.find("resultEntry0"), 20000);
        QVERIFY(clickWhenSettled(rig.find("resultEntry0")));
        QTRY_COMPARE_WITH_TIMEOUT(rig.panel->content()->phase(), AddCardOverlayContent::Phase::Selected,
                                  20000);
        QTRY_VERIFY_WITH_TIMEOUT(rig.find("exampleRow"), 20000);
        QVERIFY(!rig.find("exampleRow")->isVisible());
        QVERIFY(!rig.find("exampleTranslationRow")->isVisible());
        QCOMPARE(rig.find("resultPhonetic")->property("text").toString(), QStringLiteral("/hˈɔøzɜ/"));

        const qsizetype before = server.store().state().cards.size();
        QTRY_VERIFY_WITH_TIMEOUT(rig.find("addButton"), 20000);
        QVERIFY(clickWhenSettled(rig.find("addButton")));
        QTRY_COMPARE_WITH_TIMEOUT(server.store().state().cards.size(), before + 1, 20000);
        const DevCard &card = server.store().state().cards.last();
        QCOMPARE(card.deckId, germanDeck);
        QCOMPARE(card.word, QStringLiteral("Häuser"));
        QCOMPARE(card.translation, QStringLiteral("houses"));
        QCOMPARE(card.phonetic, QStringLiteral("/hˈɔøzɜ/"));
        QCOMPARE(card.exampleSentence, QString());
        QCOMPARE(card.category, QStringLiteral("noun"));
    }
};

QTEST_MAIN(OverlayEndToEndTest)
#include "OverlayEndToEndTest.moc"
