#include "CaptureRig.h"

#include "app/Fonts.h"
#include "overlay/AddCardOverlayContent.h"

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
    std::unique_ptr<CaptureRig> m_rig;
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
    m_rig = std::make_unique<CaptureRig>(KeyCombo(40, KeyCombo::ControlFlag | KeyCombo::ShiftFlag),
                                         QStringLiteral("the quick brown fox"), QStringLiteral("4,15"));
}

void CaptureRoadTest::shortcutOpensTheOverlayWithTheSelection()
{
    QVERIFY(m_rig->app);
    QSignalSpy captured(m_rig->shortcuts.get(), &ShortcutManager::captureFinished);
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+shift+k")}));
    QVERIFY(captured.wait(30000));
    QVERIFY(m_rig->panel->isOpen());
    QTRY_COMPARE_WITH_TIMEOUT(m_rig->panel->content()->word(), QStringLiteral("quick brown"), 20000);
}

void CaptureRoadTest::secondPressWhileOpenKeepsTheFirstOverlay()
{
    QVERIFY(m_rig->panel->isOpen());
    AddCardOverlayContent *first = m_rig->panel->content();
    QSignalSpy captured(m_rig->shortcuts.get(), &ShortcutManager::captureFinished);
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+shift+k")}));
    QVERIFY(captured.wait(30000));
    QCOMPARE(m_rig->panel->content(), first);
    QCOMPARE(first->word(), QStringLiteral("quick brown"));
    m_rig->panel->hidePanel();
}

QTEST_MAIN(CaptureRoadTest)
#include "CaptureRoadTest.moc"
