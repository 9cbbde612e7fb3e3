#include "CaptureTestSupport.h"
#include "FakeDeployment.h"
#include "FakeSession.h"
#include "QuickItemSearch.h"
#include "TestSupport.h"

#include "DevAuth.h"
#include "DevServer.h"
#include "DevStore.h"

#include "app/Fonts.h"
#include "backend/ConvexClient.h"
#include "capture/KeyCombo.h"
#include "capture/SelectedTextReader.h"
#include "capture/ShortcutManager.h"
#include "overlay/AddCardOverlayContent.h"
#include "overlay/AddCardPanelController.h"
#include "platform/SelectionSources.h"
#include "platform/x11/X11HotKeyService.h"
#include "qml/ViewEngine.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace CaptureTest;

namespace {
QJsonObject candidate(const QString &word, const QString &translation)
{
    return {{"word", word},
            {"translation", translation},
            {"phonetic", "ˈrøːt hʉːs"},
            {"exampleSentence", "Vi bor i ett rött hus."},
            {"exampleSentenceTranslation", "We live in a red house."},
            {"category", "phrase"}};
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

    // The program's capture objects as start-up wires them, against the fake
    // deployment (or the local one at `deployment`, signed in with `tokens`),
    // with Ctrl+Alt+K registered and "red house" (or `selection`, at
    // `range` of `text`) selected in another application.
    struct Rig {
        FakeDeployment fake;
        std::unique_ptr<ConvexClient> client;
        FakeSession session;
        std::unique_ptr<AddCardPanelController> panel;
        std::unique_ptr<X11HotKeyService> hotKeys;
        SelectionSources sources;
        std::unique_ptr<SelectedTextReader> reader;
        std::unique_ptr<ShortcutManager> shortcuts;
        std::unique_ptr<Helper> app;
        QString selection = QStringLiteral("red house");

        Rig()
            : Rig({}, {}, QStringLiteral("a red house here"), QStringLiteral("2,11"),
                  QStringLiteral("red house"))
        {
        }
        Rig(const QUrl &deployment, const DevTokenPair &tokens, const QString &text, const QString &range,
            const QString &selected)
            : selection(selected)
        {
            fake.answer("decks:getActiveDeck",
                        FakeDeployment::Answer::success(deckJson("deck-7", "Swedish")));
            fake.answer("ai:translateWord", FakeDeployment::Answer::success(
                                                QJsonArray{candidate("ett rött hus", "a red house"),
                                                           candidate("en röd stuga", "a red cottage")}));
            fake.answer("cards:createCard", FakeDeployment::Answer::success(QStringLiteral("card-1")));
            client = std::make_unique<ConvexClient>(deployment.isEmpty() ? fake.url() : deployment);
            client->setTokens(deployment.isEmpty() ? QStringLiteral("token") : tokens.token,
                              deployment.isEmpty() ? QStringLiteral("refresh") : tokens.refreshToken);
            session.finishRestore(true);
            panel = std::make_unique<AddCardPanelController>(ViewEngine::shared(), *client, session);
            panel->warmUp();
            hotKeys = std::make_unique<X11HotKeyService>();
            reader = std::make_unique<SelectedTextReader>(sources.all());
            shortcuts = std::make_unique<ShortcutManager>(
                *hotKeys, [this] { return reader->capture(); },
                [this](std::optional<QString> text, const WindowActivation::Request &activation) {
                    panel->show(std::move(text), activation);
                });
            shortcuts->set(KeyCombo(40, KeyCombo::ControlFlag | KeyCombo::OptionFlag)); // ctrl+alt+K
            app = startHelper(QStringLiteral(SELECTION_APP),
                              {QStringLiteral("--text"), text, QStringLiteral("--select"), range}, "ready",
                              {QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1")});
        }
        ~Rig()
        {
            if (shortcuts)
                shortcuts->clear();
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

        void expectSaved(const QString &word, const QString &translation)
        {
            QTRY_COMPARE_WITH_TIMEOUT(fake.count("cards:createCard"), 1, 20000);
            const QJsonObject expected{{"deckId", "deck-7"},
                                       {"word", word},
                                       {"translation", translation},
                                       {"phonetic", "ˈrøːt hʉːs"},
                                       {"exampleSentence", "Vi bor i ett rött hus."},
                                       {"exampleSentenceTranslation", "We live in a red house."},
                                       {"category", "phrase"}};
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

        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
        QTRY_COMPARE_WITH_TIMEOUT(rig.panel->content()->phase(), AddCardOverlayContent::Phase::Results,
                                  20000);
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
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
        QTRY_COMPARE_WITH_TIMEOUT(rig.panel->content()->phase(), AddCardOverlayContent::Phase::Results,
                                  20000);
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
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
        QTRY_COMPARE_WITH_TIMEOUT(rig.panel->content()->phase(), AddCardOverlayContent::Phase::Results,
                                  20000);
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
