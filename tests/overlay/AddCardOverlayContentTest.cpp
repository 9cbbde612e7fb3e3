#include "FakeDeployment.h"
#include "FakeSession.h"
#include "TaskOutcome.h"
#include "TestSupport.h"

#include "backend/ConvexClient.h"
#include "overlay/AddCardOverlayContent.h"
#include "overlay/DismissSignal.h"
#include "tray/TrayMenu.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;
using Phase = AddCardOverlayContent::Phase;

namespace {
const QJsonObject swedish = deckJson("deck-42", "Swedish");

// The labels the overlay's list shows, top to bottom.
QStringList labels(const ResultListModel &model)
{
    QStringList shown;
    for (int row = 0; row < model.rowCount(); ++row)
        shown.append(model.data(model.index(row), ResultListModel::LabelRole).toString());
    return shown;
}
} // namespace

class AddCardOverlayContentTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeDeployment> fake;
    std::unique_ptr<ConvexClient> client;
    DismissSignal dismissSignal;
    int dismissCalls = 0;

    std::unique_ptr<AddCardOverlayContent> make(std::optional<QString> prefilled = std::nullopt)
    {
        return std::make_unique<AddCardOverlayContent>(
            dismissSignal, std::move(prefilled), [this] { ++dismissCalls; }, *client);
    }

    // Opens an overlay and waits until the deck fetch has answered.
    std::unique_ptr<AddCardOverlayContent> openWithDeck(std::optional<QString> prefilled = std::nullopt)
    {
        auto overlay = make(std::move(prefilled));
        overlay->appear();
        [&] { QTRY_VERIFY_WITH_TIMEOUT(overlay->activeDeck().has_value(), 20000); }();
        return overlay;
    }

    // Leaves the overlay in `selected` with the first of two candidates.
    std::unique_ptr<AddCardOverlayContent> openAtSelectedCard()
    {
        fake->answer("ai:translateWord",
                     FakeDeployment::Answer::success(
                         QJsonArray{translationJson("hus", "house"), translationJson("hem", "home", "")}));
        auto overlay = openWithDeck(QStringLiteral("house"));
        overlay->translate();
        [&] { QTRY_COMPARE_WITH_TIMEOUT(overlay->phase(), Phase::Results, 20000); }();
        overlay->choose(0);
        return overlay;
    }

private Q_SLOTS:
    void init()
    {
        fake = std::make_unique<FakeDeployment>();
        QVERIFY(fake->isListening());
        client = std::make_unique<ConvexClient>(fake->url());
        client->setTokens(QStringLiteral("access-token"), QStringLiteral("refresh-token"));
        fake->answer("decks:getActiveDeck", FakeDeployment::Answer::success(swedish));
        dismissSignal.setTriggered(false);
        dismissCalls = 0;
    }

    void cleanup()
    {
        client.reset();
        fake.reset();
    }

    void prefillKeepsShortSelectionsOnly_data()
    {
        QTest::addColumn<bool>("captured");
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QString>("expectedWord");
        QTest::newRow("two words, spaces before, line break after")
            << true << QStringLiteral("   red house\n") << "red house";
        QTest::newRow("six words") << true << QStringLiteral("one two three four five six")
                                   << "one two three four five six";
        QTest::newRow("seven words") << true << QStringLiteral("one two three four five six seven") << "";
        QTest::newRow("runs of spaces count once")
            << true << QStringLiteral("one  two   three four five six") << "one  two   three four five six";
        QTest::newRow("tabs and line breaks inside do not separate")
            << true << QStringLiteral("a\tb c\nd e f g h") << "a\tb c\nd e f g h";
        QTest::newRow("only white space") << true << QStringLiteral(" \t\n  ") << "";
        QTest::newRow("nothing captured") << false << QString() << "";
    }

    void prefillKeepsShortSelectionsOnly()
    {
        QFETCH(bool, captured);
        QFETCH(QString, selection);
        QFETCH(QString, expectedWord);
        auto overlay = make(captured ? std::optional<QString>(selection) : std::nullopt);
        QCOMPARE(overlay->word(), QString());
        overlay->animateIn();
        QCOMPARE(overlay->word(), expectedWord);
        QVERIFY(overlay->isVisible());
        QCOMPARE(overlay->phase(), Phase::Input);
        // The field asks for the focus a moment after opening.
        QTRY_VERIFY_WITH_TIMEOUT(overlay->inputFocused(), 10000);
    }

    void openingFetchesTheActiveDeckOnce()
    {
        auto overlay = openWithDeck();
        QCOMPARE(overlay->activeDeck()->_id, QStringLiteral("deck-42"));
        QCOMPARE(overlay->activeDeck()->langTo, QStringLiteral("sv"));
        const auto calls = fake->requestsFor("decks:getActiveDeck");
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().path, QByteArray("/api/query"));
        QCOMPARE(calls.first().args(), QJsonObject());
        QCOMPARE(calls.first().header("authorization"), QByteArray("Bearer access-token"));
    }

    void returnSendsNothingWithoutWordOrDeck()
    {
        // No deck on the server: the fetch fails silently, Return does nothing.
        fake->answer("decks:getActiveDeck", FakeDeployment::Answer::success(QJsonValue::Null));
        auto noDeck = make(QStringLiteral("house"));
        noDeck->appear();
        // A second fetch, answered after the overlay's, tells when that one ended.
        const auto probe = startTask(client->getActiveDeck());
        QTRY_VERIFY_WITH_TIMEOUT(probe->finished, 20000);
        QVERIFY(!noDeck->activeDeck());
        noDeck->translate();
        QCOMPARE(noDeck->phase(), Phase::Input);
        QVERIFY(!noDeck->hasError());

        // The deck is still on its way.
        fake->answer("decks:getActiveDeck", FakeDeployment::Answer::success(swedish).after(400ms));
        auto pending = make(QStringLiteral("house"));
        pending->appear();
        pending->translate();
        QCOMPARE(pending->phase(), Phase::Input);
        QTRY_VERIFY_WITH_TIMEOUT(pending->activeDeck().has_value(), 20000);

        // With a deck, an empty field or one of spaces and tabs sends nothing.
        auto empty = openWithDeck();
        empty->translate();
        empty->setWord(QStringLiteral("  \t  "));
        empty->translate();
        QCOMPARE(empty->phase(), Phase::Input);
        QVERIFY(empty->notice().isEmpty());

        // Signed out, Return names the menu item that signs in, and still sends nothing.
        auto signedOut = make(QStringLiteral("house"));
        FakeSession signedOutSession;
        signedOutSession.finishRestore(false);
        signedOut->setSession(signedOutSession);
        signedOut->appear();
        QSignalSpy noticeSpy(signedOut.get(), &AddCardOverlayContent::noticeChanged);
        signedOut->translate();
        QCOMPARE(noticeSpy.count(), 1);
        QVERIFY(signedOut->notice().contains(TrayMenu::signInItemText()));
        QCOMPARE(signedOut->property("notice").toString(), signedOut->notice());
        QCOMPARE(signedOut->phase(), Phase::Input);

        QCOMPARE(fake->count("ai:translateWord"), 0);
    }

    void translationShowsCandidatesInServerOrder()
    {
        fake->answer("ai:translateWord",
                     FakeDeployment::Answer::success(
                         QJsonArray{translationJson("hus", "house"), translationJson("villa", "house")}));
        auto overlay = openWithDeck();
        FakeSession session;
        session.finishRestore(true);
        overlay->setSession(session);
        overlay->setWord(QStringLiteral(" \thouse \t"));
        overlay->translate();
        QCOMPARE(overlay->phase(), Phase::Loading);
        QVERIFY(overlay->notice().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(overlay->phase(), Phase::Results, 20000);

        const auto calls = fake->requestsFor("ai:translateWord");
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().path, QByteArray("/api/action"));
        QCOMPARE(calls.first().args(),
                 (QJsonObject{{"word", "house"}, {"langFrom", "en"}, {"langTo", "sv"}}));
        QCOMPARE(overlay->results().size(), 2);
        QCOMPARE(overlay->results().at(0).word, QStringLiteral("hus"));
        QCOMPARE(overlay->results().at(1).word, QStringLiteral("villa"));
        QCOMPARE(overlay->resultModel()->rowCount(), 2);
    }

    void emptyTranslationShowsEmptyList()
    {
        fake->answer("ai:translateWord", FakeDeployment::Answer::success(QJsonArray{}));
        auto overlay = openWithDeck(QStringLiteral("xyzzy"));
        overlay->translate();
        QTRY_COMPARE_WITH_TIMEOUT(overlay->phase(), Phase::Results, 20000);
        QVERIFY(overlay->results().isEmpty());
        QCOMPARE(overlay->resultModel()->rowCount(), 0);
        QVERIFY(!overlay->hasError());
    }

    void failedTranslationReturnsToInputAndRetryClearsError()
    {
        fake->answerOnce("ai:translateWord", FakeDeployment::Answer::error(QStringLiteral("quota exceeded")));
        fake->answer("ai:translateWord",
                     FakeDeployment::Answer::success(QJsonArray{translationJson("hus", "house")}));
        auto overlay = openWithDeck(QStringLiteral("house"));
        overlay->translate();
        QTRY_COMPARE_WITH_TIMEOUT(overlay->phase(), Phase::Input, 20000);
        QCOMPARE(overlay->errorText(), QStringLiteral("Server error (200): quota exceeded"));
        QCOMPARE(overlay->word(), QStringLiteral("house"));

        overlay->translate();
        QVERIFY(!overlay->hasError());
        QTRY_COMPARE_WITH_TIMEOUT(overlay->phase(), Phase::Results, 20000);
        QCOMPARE(fake->count("ai:translateWord"), 2);
    }

    void transportFailureShowsItsOwnText()
    {
        fake->answer("ai:translateWord", FakeDeployment::Answer::dropped());
        auto overlay = openWithDeck(QStringLiteral("house"));
        overlay->translate();
        QTRY_VERIFY_WITH_TIMEOUT(overlay->hasError(), 20000);
        QCOMPARE(overlay->phase(), Phase::Input);
        QVERIFY(!overlay->errorText().isEmpty());
        QVERIFY(!overlay->errorText().startsWith(QStringLiteral("Server error")));
    }

    void labelShowsTranslationWhenTheTypedWordComesBack()
    {
        fake->answer("ai:translateWord",
                     FakeDeployment::Answer::success(
                         QJsonArray{translationJson("hus", "house"), translationJson("hem", "home")}));
        auto overlay = openWithDeck(QStringLiteral("HUS"));
        overlay->translate();
        QTRY_COMPARE_WITH_TIMEOUT(overlay->phase(), Phase::Results, 20000);
        QCOMPARE(labels(*overlay->resultModel()), (QStringList{"house", "hem"}));
        // The list follows a later change of the typed word.
        QSignalSpy changed(overlay->resultModel(), &QAbstractItemModel::dataChanged);
        overlay->setWord(QStringLiteral("hem"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(labels(*overlay->resultModel()), (QStringList{"hus", "home"}));
        // Spaces and tabs around the typed word do not count; line breaks do.
        overlay->setWord(QStringLiteral(" \thUS\t "));
        QCOMPARE(labels(*overlay->resultModel()), (QStringList{"house", "hem"}));
        overlay->setWord(QStringLiteral("hus\n"));
        QCOMPARE(labels(*overlay->resultModel()), (QStringList{"hus", "hem"}));
    }

    void choosingShowsTheCard()
    {
        auto overlay = openAtSelectedCard();
        QCOMPARE(overlay->phase(), Phase::Selected);
        QCOMPARE(overlay->selected()->word, QStringLiteral("hus"));
        overlay->choose(5); // out of range: ignored
        QCOMPARE(overlay->selected()->word, QStringLiteral("hus"));
    }

    void savingSendsTheChosenCardAndCloses()
    {
        fake->answer("cards:createCard", FakeDeployment::Answer::success(QStringLiteral("card-1")));
        auto overlay = openAtSelectedCard();
        overlay->save();
        QVERIFY(overlay->isSaving());
        QTRY_COMPARE_WITH_TIMEOUT(dismissCalls, 1, 20000);
        QVERIFY(!overlay->isVisible());
        QVERIFY(overlay->isSaving());

        const auto calls = fake->requestsFor("cards:createCard");
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().path, QByteArray("/api/mutation"));
        const QJsonObject expected{{"deckId", "deck-42"},
                                   {"word", "hus"},
                                   {"translation", "house"},
                                   {"phonetic", "ˈhʉːs"},
                                   {"exampleSentence", "Huset är rött."},
                                   {"exampleSentenceTranslation", "The house is red."},
                                   {"category", "noun"}};
        QCOMPARE(calls.first().args(), expected);
    }

    void failedSaveKeepsTheCardAndCanBeRepeated()
    {
        fake->answerOnce("cards:createCard", FakeDeployment::Answer::error(QStringLiteral("deck is full")));
        fake->answer("cards:createCard", FakeDeployment::Answer::successWithoutValue());
        auto overlay = openAtSelectedCard();
        overlay->save();
        QTRY_VERIFY_WITH_TIMEOUT(!overlay->isSaving(), 20000);
        QCOMPARE(overlay->errorText(), QStringLiteral("Server error (200): deck is full"));
        QCOMPARE(overlay->phase(), Phase::Selected);
        QCOMPARE(overlay->selected()->word, QStringLiteral("hus"));
        QCOMPARE(dismissCalls, 0);

        overlay->save();
        QVERIFY(!overlay->hasError());
        QTRY_COMPARE_WITH_TIMEOUT(dismissCalls, 1, 20000);
        const auto calls = fake->requestsFor("cards:createCard");
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls.at(1).args(), calls.at(0).args());
    }

    void saveWhileSavingSendsOnce()
    {
        fake->answer("cards:createCard", FakeDeployment::Answer::successWithoutValue().after(300ms));
        auto overlay = openAtSelectedCard();
        overlay->save();
        overlay->save();
        QTRY_COMPARE_WITH_TIMEOUT(dismissCalls, 1, 20000);
        QCOMPARE(fake->count("cards:createCard"), 1);
    }

    // The flow without the mouse: what each key does in each phase, from
    // the results (two candidates) on.
    void keyboardOnlyChoosing_data()
    {
        QTest::addColumn<QList<int>>("keys"); // a key, or Qt::ControlModifier | key
        QTest::addColumn<int>("highlight");
        QTest::addColumn<Phase>("phase");
        QTest::addColumn<QString>("chosen");
        // The keys, then the highlighted candidate, the phase and the word chosen.
        const auto row = [](const char *name, QList<int> keys, int highlight, Phase phase,
                            const char *chosen) {
            QTest::newRow(name) << keys << highlight << phase << QString::fromUtf8(chosen);
        };
        row("no highlight until an arrow", {}, -1, Phase::Results, "");
        row("Return without a highlight does nothing", {Qt::Key_Return}, -1, Phase::Results, "");
        row("Down starts at the first", {Qt::Key_Down}, 0, Phase::Results, "");
        row("Up starts at the first too", {Qt::Key_Up}, 0, Phase::Results, "");
        row("Down stops at the last", {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down}, 1, Phase::Results, "");
        row("Down, Down, Up", {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up}, 0, Phase::Results, "");
        row("Down, Down, Return chooses the second", {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}, -1,
            Phase::Selected, "hem");
        row("keypad Enter", {Qt::Key_Down, Qt::Key_Enter}, -1, Phase::Selected, "hus");
        row("Ctrl+2", {int(Qt::ControlModifier) | Qt::Key_2}, -1, Phase::Selected, "hem");
        row("Ctrl+3 is no candidate", {int(Qt::ControlModifier) | Qt::Key_3}, -1, Phase::Results, "");
        row("2 without Ctrl", {Qt::Key_2}, -1, Phase::Results, "");
    }

    void keyboardOnlyChoosing()
    {
        QFETCH(QList<int>, keys);
        QFETCH(int, highlight);
        QFETCH(Phase, phase);
        QFETCH(QString, chosen);
        fake->answer("ai:translateWord",
                     FakeDeployment::Answer::success(
                         QJsonArray{translationJson("hus", "house"), translationJson("hem", "home")}));
        auto overlay = openWithDeck(QStringLiteral("house"));
        // In the input phase the field has every key: Return is its own.
        QVERIFY(!overlay->handleKey(Qt::Key_Return, Qt::NoModifier));
        QVERIFY(!overlay->handleKey(Qt::Key_Down, Qt::NoModifier));
        overlay->translate();
        QTRY_COMPARE_WITH_TIMEOUT(overlay->phase(), Phase::Results, 20000);
        for (int key : keys) {
            const auto modifiers = Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask);
            overlay->handleKey(key & ~Qt::KeyboardModifierMask, modifiers);
        }
        QCOMPARE(overlay->highlightedIndex(), highlight);
        QCOMPARE(overlay->phase(), phase);
        QCOMPARE(overlay->selected() ? overlay->selected()->word : QString(), chosen);
    }

    void returnOnTheCardAdds()
    {
        auto overlay = openAtSelectedCard();
        fake->answer("cards:createCard", FakeDeployment::Answer::success(QStringLiteral("card-1")));
        QVERIFY(overlay->handleKey(Qt::Key_Return, Qt::NoModifier));
        QVERIFY(overlay->isSaving());
        QTRY_COMPARE_WITH_TIMEOUT(fake->count("cards:createCard"), 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(dismissCalls, 1, 20000);
    }

    void dismissalSignalClosesThroughExitAnimation()
    {
        auto overlay = openWithDeck();
        QSignalSpy visibility(overlay.get(), &AddCardOverlayContent::isVisibleChanged);
        dismissSignal.setTriggered(true);
        QVERIFY(!overlay->isVisible());
        QCOMPARE(dismissCalls, 0); // only after the exit animation
        QTRY_COMPARE_WITH_TIMEOUT(dismissCalls, 1, 10000);

        // Turning the flag off does nothing; a second request runs again.
        dismissSignal.setTriggered(false);
        overlay->performDismiss();
        QTRY_COMPARE_WITH_TIMEOUT(dismissCalls, 2, 10000);
    }

    void lateTranslationAfterClosingChangesNothing()
    {
        fake->answer(
            "ai:translateWord",
            FakeDeployment::Answer::success(QJsonArray{translationJson("hus", "house")}).after(500ms));
        QPointer<AddCardOverlayContent> overlay = openWithDeck(QStringLiteral("house")).release();
        overlay->translate();
        QCOMPARE(overlay->phase(), Phase::Loading);

        // Escape during loading: the host removes the overlay after the animation.
        dismissSignal.setTriggered(true);
        QTRY_COMPARE_WITH_TIMEOUT(dismissCalls, 1, 10000);
        QVERIFY(!overlay->isVisible());
        QCOMPARE(overlay->phase(), Phase::Loading);
        overlay->deleteLater();
        QTRY_VERIFY_WITH_TIMEOUT(overlay.isNull(), 10000);

        // The answer arrives for an overlay that no longer exists; a later call
        // answered after it tells when it has been delivered.
        fake->answerOnce("decks:getActiveDeck", FakeDeployment::Answer::success(swedish).after(700ms));
        const auto probe = startTask(client->getActiveDeck());
        QTRY_VERIFY_WITH_TIMEOUT(probe->finished, 20000);
        QVERIFY(probe->succeeded());
        QCOMPARE(fake->count("ai:translateWord"), 1);
        QCOMPARE(dismissCalls, 1);
    }
};

QTEST_MAIN(AddCardOverlayContentTest)
#include "AddCardOverlayContentTest.moc"
