#include "CaptureTestSupport.h"
#include "FakeDeployment.h"
#include "FakeSession.h"
#include "app/Fonts.h"
#include "backend/ConvexClient.h"
#include "capture/SelectedTextReader.h"
#include "capture/ShortcutManager.h"
#include "overlay/AddCardOverlayContent.h"
#include "overlay/AddCardPanelController.h"
#include "platform/atspi/AtspiSelectionSource.h"
#include "platform/x11/X11HotKeyService.h"
#include "platform/x11/X11PrimarySelectionSource.h"
#include "qml/ViewEngine.h"

#include <QGuiApplication>
#include <QJsonObject>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

using namespace CaptureTest;

// The whole road from a key press to the overlay, as a person would take it:
// another application in front with a selection, xdotool pressing the
// shortcut, the real key grab, the real selection reading, the real panel.
class CaptureRoadTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void shortcutOpensTheOverlayWithTheSelection();
    void secondPressWhileOpenKeepsTheFirstOverlay();

private:
    std::unique_ptr<FakeDeployment> m_fake;
    std::unique_ptr<ConvexClient> m_client;
    FakeSession m_session;
    std::unique_ptr<AddCardPanelController> m_panel;
    std::unique_ptr<X11HotKeyService> m_hotKeys;
    std::unique_ptr<AtspiSelectionSource> m_accessibility;
    std::unique_ptr<X11PrimarySelectionSource> m_primary;
    std::unique_ptr<SelectedTextReader> m_reader;
    std::unique_ptr<ShortcutManager> m_manager;
};

void CaptureRoadTest::initTestCase()
{
    if (!inTestSession())
        QSKIP("runs inside scripts/with-session");
    QCoreApplication::setOrganizationName(QStringLiteral("vocarta-tests"));
    QCoreApplication::setApplicationName(QStringLiteral("capture-road"));
    QSettings().clear();
    registerFonts();
    ViewEngine::selectDefaultSceneGraph();
    m_fake = std::make_unique<FakeDeployment>();
    m_fake->answer("decks:getActiveDeck",
                   FakeDeployment::Answer::success(QJsonObject{
                       {"_id", "deck-1"}, {"name", "Swedish"}, {"langFrom", "en"}, {"langTo", "sv"}}));
    m_client = std::make_unique<ConvexClient>(m_fake->url());
    m_client->setTokens(QStringLiteral("t"), QStringLiteral("r"));
    m_session.finishRestore(true);
    m_panel = std::make_unique<AddCardPanelController>(ViewEngine::shared(), *m_client, m_session);
    m_hotKeys = std::make_unique<X11HotKeyService>();
    m_accessibility = std::make_unique<AtspiSelectionSource>();
    m_primary = std::make_unique<X11PrimarySelectionSource>();
    m_reader = std::make_unique<SelectedTextReader>(
        std::vector<SelectionSource *>{m_accessibility.get(), m_primary.get()});
    AddCardPanelController *panel = m_panel.get();
    m_manager = std::make_unique<ShortcutManager>(
        *m_hotKeys, [this] { return m_reader->capture([this] { return m_manager->keyReleased(); }); },
        [panel](std::optional<QString> text) { panel->show(std::move(text)); });
    m_manager->set(KeyCombo(40, KeyCombo::ControlFlag | KeyCombo::ShiftFlag));
}

void CaptureRoadTest::shortcutOpensTheOverlayWithTheSelection()
{
    auto app = startHelper(QStringLiteral(SELECTION_APP),
                           {QStringLiteral("--text"), QStringLiteral("the quick brown fox"),
                            QStringLiteral("--select"), QStringLiteral("4,15")},
                           "ready", {QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1")});
    QVERIFY(app);
    QSignalSpy captured(m_manager.get(), &ShortcutManager::captureFinished);
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+shift+k")}));
    QVERIFY(captured.wait(30000));
    QVERIFY(m_panel->isOpen());
    QTRY_COMPARE_WITH_TIMEOUT(m_panel->content()->word(), QStringLiteral("quick brown"), 20000);
}

void CaptureRoadTest::secondPressWhileOpenKeepsTheFirstOverlay()
{
    QVERIFY(m_panel->isOpen());
    AddCardOverlayContent *first = m_panel->content();
    QSignalSpy captured(m_manager.get(), &ShortcutManager::captureFinished);
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+shift+k")}));
    QVERIFY(captured.wait(30000));
    QCOMPARE(m_panel->content(), first);
    QCOMPARE(first->word(), QStringLiteral("quick brown"));
    m_panel->hidePanel();
}

QTEST_MAIN(CaptureRoadTest)
#include "CaptureRoadTest.moc"
