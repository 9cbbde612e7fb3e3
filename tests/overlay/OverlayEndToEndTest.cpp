#include "CaptureTestSupport.h"
#include "FakeDeployment.h"
#include "QuickItemSearch.h"

#include "app/Fonts.h"
#include "backend/ConvexClient.h"
#include "capture/KeyCombo.h"
#include "capture/SelectedTextReader.h"
#include "capture/ShortcutManager.h"
#include "overlay/AddCardOverlayContent.h"
#include "overlay/AddCardPanelController.h"
#include "platform/x11/X11HotKeyService.h"
#include "qml/ViewEngine.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QQuickItem>
#include <QQuickWindow>
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
// Return, a candidate clicked, "ADD", the card at the fake deployment.
class OverlayEndToEndTest : public QObject {
    Q_OBJECT

    QQuickItem *find(AddCardPanelController &panel, const char *name)
    {
        return findItem(panel.window()->contentItem(), QString::fromLatin1(name));
    }

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

private slots:
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
        FakeDeployment fake;
        fake.answer("decks:getActiveDeck",
                    FakeDeployment::Answer::success(QJsonObject{
                        {"_id", "deck-7"}, {"name", "Swedish"}, {"langFrom", "en"}, {"langTo", "sv"}}));
        fake.answer("ai:translateWord",
                    FakeDeployment::Answer::success(QJsonArray{candidate("ett rött hus", "a red house"),
                                                               candidate("en röd stuga", "a red cottage")}));
        fake.answer("cards:createCard", FakeDeployment::Answer::success(QStringLiteral("card-1")));
        ConvexClient client(fake.url());
        client.setTokens(QStringLiteral("token"), QStringLiteral("refresh"));

        AddCardPanelController panel(ViewEngine::shared(), &client);
        panel.warmUp();
        X11HotKeyService hotKeys;
        ShortcutManager shortcuts(
            hotKeys, [] { return SelectedTextReader::shared().capture(); },
            [&panel](std::optional<QString> text) { panel.show(std::move(text)); });
        shortcuts.set(KeyCombo(40, KeyCombo::ControlFlag | KeyCombo::OptionFlag)); // ctrl+alt+K

        auto app = startHelper(QStringLiteral(SELECTION_APP),
                               {QStringLiteral("--text"), QStringLiteral("a red house here"),
                                QStringLiteral("--select"), QStringLiteral("2,11")},
                               "ready", {QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1")});
        QVERIFY(app);

        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+k")}));
        QTRY_VERIFY_WITH_TIMEOUT(panel.isOpen(), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(panel.content()->word(), QStringLiteral("red house"), 20000);
        QQuickItem *field = find(panel, "wordField");
        QVERIFY(field);
        QCOMPARE(field->property("text").toString(), QStringLiteral("red house"));
        // The overlay took the keyboard from the other application.
        QTRY_VERIFY_WITH_TIMEOUT(panel.window()->isActive() && field->hasActiveFocus(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(panel.content()->activeDeck().has_value(), 20000);

        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
        QTRY_COMPARE_WITH_TIMEOUT(panel.content()->phase(), AddCardOverlayContent::Phase::Results, 20000);
        QCOMPARE(fake.requestsFor("ai:translateWord").first().args(),
                 (QJsonObject{{"word", "red house"}, {"langFrom", "en"}, {"langTo", "sv"}}));
        QTRY_VERIFY_WITH_TIMEOUT(find(panel, "resultEntry1"), 20000);
        QCOMPARE(
            findItem(find(panel, "resultEntry1"), QStringLiteral("resultLabel"))->property("text").toString(),
            QStringLiteral("en röd stuga"));

        QVERIFY(clickWhenSettled(find(panel, "resultEntry1")));
        QTRY_COMPARE_WITH_TIMEOUT(panel.content()->phase(), AddCardOverlayContent::Phase::Selected, 20000);
        QCOMPARE(panel.content()->selected()->word, QStringLiteral("en röd stuga"));
        QTRY_VERIFY_WITH_TIMEOUT(find(panel, "addButton"), 20000);

        QVERIFY(clickWhenSettled(find(panel, "addButton")));
        QTRY_COMPARE_WITH_TIMEOUT(fake.count("cards:createCard"), 1, 20000);
        const QJsonObject expected{{"deckId", "deck-7"},
                                   {"word", "en röd stuga"},
                                   {"translation", "a red cottage"},
                                   {"phonetic", "ˈrøːt hʉːs"},
                                   {"exampleSentence", "Vi bor i ett rött hus."},
                                   {"exampleSentenceTranslation", "We live in a red house."},
                                   {"category", "phrase"}};
        QCOMPARE(fake.requestsFor("cards:createCard").first().args(), expected);
        QTRY_VERIFY_WITH_TIMEOUT(!panel.isOpen(), 20000);
        QVERIFY(!panel.window()->isVisible());
        shortcuts.clear();
    }
};

QTEST_MAIN(OverlayEndToEndTest)
#include "OverlayEndToEndTest.moc"
