#include "capture/ShortcutManager.h"
#include "CaptureTestSupport.h"
#include "TestSupport.h"
#include "platform/x11/X11HotKeyService.h"

#include <QApplication>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

using namespace CaptureTest;

namespace {
constexpr quint64 Cmd = KeyCombo::CommandFlag;
constexpr quint64 Shift = KeyCombo::ShiftFlag;
constexpr quint64 Ctrl = KeyCombo::ControlFlag;

// Stored model of the combinations the tests press (macOS key codes).
const KeyCombo ctrlShiftK(40, Ctrl | Shift);
const KeyCombo ctrlShiftL(37, Ctrl | Shift);
const KeyCombo ctrlShiftG(5, Ctrl | Shift);

// X11 modifier masks and keycodes for the grab helper.
constexpr int xShift = 1, xControl = 4;
constexpr int xKeycodeG = 34 + 8;
} // namespace

// The real X11 grab, driven by xdotool. A second service grabs a sentinel
// combination (not Ctrl+Alt+F-key: the default keymap switches terminals with
// those): X delivers events in order, so once the sentinel has fired,
// every event of the keys pressed before it has been handled.
class ShortcutManagerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void nothingStoredRegistersNothing();
    void setStoresExactBytesAndFiresOncePerPress();
    void heldKeyAndLocksStillFireOnce();
    void settingAnotherComboUngrabsTheFirst();
    void settingAbsentRemovesTheStoredValue();
    void storedValueIsLoadedAndBadOnesIgnored();
    void comboHeldByAnotherClientIsSurvived();
    void keysWithoutAnX11KeycodeAreRefusedCleanly();
    void triggerCaptureRunsTheHandler();
    void captureRunsAtThePressAndCanWaitForTheRelease();

private:
    void pressAndSettle(const QString &keys);
    std::unique_ptr<ShortcutManager> newManager();

    std::unique_ptr<X11HotKeyService> m_hotKeys;
    std::unique_ptr<X11HotKeyService> m_sentinel;
    std::unique_ptr<QSignalSpy> m_sentinelSpy;
    QList<std::optional<QString>> m_shown;
    QList<WindowActivation::Request> m_activations;
    int m_captures = 0;
    bool m_keyHeldDuringCapture = false;
};

void ShortcutManagerTest::initTestCase()
{
    if (!inTestSession())
        QSKIP("runs inside scripts/with-session");
    QVERIFY(X11HotKeyService::isAvailable());
    QCoreApplication::setOrganizationName(QStringLiteral("vocarta-tests"));
    QCoreApplication::setApplicationName(QStringLiteral("capture-shortcuts"));
}

void ShortcutManagerTest::init()
{
    QSettings().clear();
    m_shown.clear();
    m_activations.clear();
    m_captures = 0;
    m_hotKeys = std::make_unique<X11HotKeyService>();
    m_sentinel = std::make_unique<X11HotKeyService>();
    HotKeyService::Chord sentinel;
    sentinel.evdevCode = 36; // J
    sentinel.control = true;
    sentinel.alt = true;
    m_sentinel->registerHotKey(sentinel);
    QVERIFY(m_sentinel->isFullyGrabbed());
    m_sentinelSpy = std::make_unique<QSignalSpy>(m_sentinel.get(), &HotKeyService::activated);
}

void ShortcutManagerTest::cleanup()
{
    m_sentinelSpy.reset();
    m_sentinel.reset();
    m_hotKeys.reset();
    // Leave the locks off for the next case.
    if (lockIsOn(QStringLiteral("Num Lock")))
        xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")});
    if (lockIsOn(QStringLiteral("Caps Lock")))
        xdotool({QStringLiteral("key"), QStringLiteral("Caps_Lock")});
}

std::unique_ptr<ShortcutManager> ShortcutManagerTest::newManager()
{
    auto capture = [this]() -> QCoro::Task<std::optional<QString>> {
        ++m_captures;
        m_keyHeldDuringCapture = m_hotKeys->isKeyHeld();
        co_return QStringLiteral("selected words");
    };
    auto show = [this](std::optional<QString> text, const WindowActivation::Request &activation) {
        m_shown.append(text);
        m_activations.append(activation);
    };
    auto manager = std::make_unique<ShortcutManager>(*m_hotKeys, capture, show);
    manager->setReleaseWait(std::chrono::seconds(10));
    return manager;
}

// Failures inside are reported; callers go on, the case still fails.
void ShortcutManagerTest::pressAndSettle(const QString &keys)
{
    const int before = m_sentinelSpy->count();
    QVERIFY(xdotool({QStringLiteral("key"), keys}));
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+j")}));
    QTRY_COMPARE_WITH_TIMEOUT(m_sentinelSpy->count(), before + 1, 20000);
}

void ShortcutManagerTest::nothingStoredRegistersNothing()
{
    auto manager = newManager();
    QSignalSpy fired(m_hotKeys.get(), &HotKeyService::activated);
    manager->loadAndRegister();
    QCOMPARE(manager->currentCombo(), std::nullopt);
    QVERIFY(!manager->currentComboVariant().isValid());
    QVERIFY(!QSettings().contains(ShortcutManager::defaultsKey));
    pressAndSettle(QStringLiteral("ctrl+shift+k"));
    QCOMPARE(fired.count(), 0);
}

void ShortcutManagerTest::setStoresExactBytesAndFiresOncePerPress()
{
    auto manager = newManager();
    QSignalSpy changed(manager.get(), &ShortcutManager::currentComboChanged);
    QSignalSpy fired(m_hotKeys.get(), &HotKeyService::activated);

    manager->set(KeyCombo(40, Cmd | Shift));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(manager->currentCombo(), std::optional<KeyCombo>(KeyCombo(40, Cmd | Shift)));
    QCOMPARE(QSettings().value(ShortcutManager::defaultsKey).toByteArray(),
             QByteArray(R"({"keyCode":40,"modifierFlags":1179648})"));
    QCOMPARE(manager->currentComboVariant().value<KeyCombo>(), KeyCombo(40, Cmd | Shift));

    manager->set(ctrlShiftK);
    pressAndSettle(QStringLiteral("ctrl+shift+k"));
    QCOMPARE(fired.count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(m_shown.size(), 1, 20000);
    QCOMPARE(m_shown.first(), std::optional<QString>(QStringLiteral("selected words")));

    // Other modifiers on the same key are not ours.
    pressAndSettle(QStringLiteral("ctrl+k"));
    pressAndSettle(QStringLiteral("ctrl+shift+alt+k"));
    QCOMPARE(fired.count(), 1);

    pressAndSettle(QStringLiteral("ctrl+shift+k"));
    QCOMPARE(fired.count(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(m_shown.size(), 2, 20000);
    QCOMPARE(m_captures, 2);

    // Command and Option are Super and Alt.
    manager->set(KeyCombo(40, Cmd | KeyCombo::OptionFlag));
    pressAndSettle(QStringLiteral("ctrl+alt+k"));
    QCOMPARE(fired.count(), 2);
    pressAndSettle(QStringLiteral("super+alt+k"));
    QCOMPARE(fired.count(), 3);
}

void ShortcutManagerTest::heldKeyAndLocksStillFireOnce()
{
    auto manager = newManager();
    QSignalSpy fired(m_hotKeys.get(), &HotKeyService::activated);
    manager->set(ctrlShiftK);

    // Auto-repeat: presses without releases while the key is held.
    QVERIFY(xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl+shift+k")}));
    QVERIFY(xdotool({QStringLiteral("keydown"), QStringLiteral("k")}));
    QVERIFY(xdotool({QStringLiteral("keydown"), QStringLiteral("k")}));
    QVERIFY(xdotool({QStringLiteral("keyup"), QStringLiteral("k")}));
    QVERIFY(xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+shift")}));
    pressAndSettle(QStringLiteral("shift"));
    QCOMPARE(fired.count(), 1);

    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")}));
    QVERIFY(lockIsOn(QStringLiteral("Num Lock")));
    pressAndSettle(QStringLiteral("ctrl+shift+k"));
    QCOMPARE(fired.count(), 2);

    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Caps_Lock")}));
    QVERIFY(lockIsOn(QStringLiteral("Caps Lock")));
    pressAndSettle(QStringLiteral("ctrl+shift+k"));
    QCOMPARE(fired.count(), 3);

    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")}));
    QVERIFY(!lockIsOn(QStringLiteral("Num Lock")));
    pressAndSettle(QStringLiteral("ctrl+shift+k"));
    QCOMPARE(fired.count(), 4);
    QTRY_COMPARE_WITH_TIMEOUT(m_shown.size(), 4, 20000);
}

void ShortcutManagerTest::settingAnotherComboUngrabsTheFirst()
{
    auto manager = newManager();
    QSignalSpy fired(m_hotKeys.get(), &HotKeyService::activated);
    manager->set(ctrlShiftK);
    manager->set(ctrlShiftL);
    QCOMPARE(KeyCombo::fromJson(QSettings().value(ShortcutManager::defaultsKey).toByteArray()),
             std::optional<KeyCombo>(ctrlShiftL));

    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")}));
    pressAndSettle(QStringLiteral("ctrl+shift+k"));
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")}));
    pressAndSettle(QStringLiteral("ctrl+shift+k"));
    QCOMPARE(fired.count(), 0);
    pressAndSettle(QStringLiteral("ctrl+shift+l"));
    QCOMPARE(fired.count(), 1);
}

void ShortcutManagerTest::settingAbsentRemovesTheStoredValue()
{
    auto manager = newManager();
    QSignalSpy fired(m_hotKeys.get(), &HotKeyService::activated);
    manager->set(ctrlShiftK);
    QVERIFY(QSettings().contains(ShortcutManager::defaultsKey));
    QSignalSpy changed(manager.get(), &ShortcutManager::currentComboChanged);
    manager->clear();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(manager->currentCombo(), std::nullopt);
    QVERIFY(!QSettings().contains(ShortcutManager::defaultsKey));
    pressAndSettle(QStringLiteral("ctrl+shift+k"));
    QCOMPARE(fired.count(), 0);
}

void ShortcutManagerTest::storedValueIsLoadedAndBadOnesIgnored()
{
    // A member missing; Caps Lock as the only modifier (it would grab the
    // bare letter); no modifier at all.
    const QByteArray bad[] = {R"({"keyCode":12})", R"({"keyCode":12,"modifierFlags":65536})",
                              R"({"keyCode":12,"modifierFlags":0})"};
    for (const QByteArray &stored : bad) {
        QSettings().setValue(ShortcutManager::defaultsKey, stored);
        auto manager = newManager();
        QSignalSpy fired(m_hotKeys.get(), &HotKeyService::activated);
        manager->loadAndRegister();
        QCOMPARE(manager->currentCombo(), std::nullopt);
        QCOMPARE(QSettings().value(ShortcutManager::defaultsKey).toByteArray(), stored);
        pressAndSettle(QStringLiteral("ctrl+q"));
        pressAndSettle(QStringLiteral("q"));
        QCOMPARE(fired.count(), 0);
    }
    QSettings().setValue(ShortcutManager::defaultsKey, ctrlShiftK.toJson());
    {
        auto manager = newManager();
        QSignalSpy changed(manager.get(), &ShortcutManager::currentComboChanged);
        QSignalSpy fired(m_hotKeys.get(), &HotKeyService::activated);
        manager->loadAndRegister();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(manager->currentCombo(), std::optional<KeyCombo>(ctrlShiftK));
        pressAndSettle(QStringLiteral("ctrl+shift+k"));
        QCOMPARE(fired.count(), 1);
    }
}

void ShortcutManagerTest::comboHeldByAnotherClientIsSurvived()
{
    auto holder = startHelper(QStringLiteral(GRAB_KEY_HELPER),
                              {QString::number(xKeycodeG), QString::number(xShift | xControl)}, "grabbed");
    QVERIFY(holder);

    LogCapture log;
    auto manager = newManager();
    QSignalSpy fired(m_hotKeys.get(), &HotKeyService::activated);
    manager->set(ctrlShiftG);
    // Shown although it does not fire; said once in the log.
    QCOMPARE(manager->currentCombo(), std::optional<KeyCombo>(ctrlShiftG));
    QVERIFY(!m_hotKeys->isFullyGrabbed());
    const QStringList refusals =
        log.lines(LogChannel::Shell).filter(QStringLiteral("could not be registered"));
    QCOMPARE(refusals.size(), 1);
    QVERIFY(refusals.first().contains(QStringLiteral("Ctrl+Shift+G")));
    pressAndSettle(QStringLiteral("ctrl+shift+g"));
    QCOMPARE(fired.count(), 0);

    // The variants nobody else holds are ours (here: with Num Lock on).
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")}));
    pressAndSettle(QStringLiteral("ctrl+shift+g"));
    QCOMPARE(fired.count(), 1);
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")}));

    // And the program goes on: another combination works.
    manager->set(ctrlShiftK);
    QVERIFY(m_hotKeys->isFullyGrabbed());
    pressAndSettle(QStringLiteral("ctrl+shift+k"));
    QCOMPARE(fired.count(), 2);
}

void ShortcutManagerTest::keysWithoutAnX11KeycodeAreRefusedCleanly()
{
    LogCapture log;
    auto manager = newManager();
    // Fn (evdev 464) is beyond X11's 255 keycodes; 0x34 has no key at all.
    manager->set(KeyCombo(0x3F, Ctrl));
    QCOMPARE(manager->currentCombo(), std::optional<KeyCombo>(KeyCombo(0x3F, Ctrl)));
    manager->set(KeyCombo(0x34, Ctrl));
    const QStringList lines = log.lines(LogChannel::Shell);
    QCOMPARE(lines.filter(QStringLiteral("has no key on this X server")).size(), 1);
    QCOMPARE(lines.filter(QStringLiteral("Ctrl+(52) has no key on this system")).size(), 1);
    // Still working afterwards.
    QSignalSpy fired(m_hotKeys.get(), &HotKeyService::activated);
    manager->set(ctrlShiftK);
    pressAndSettle(QStringLiteral("ctrl+shift+k"));
    QCOMPARE(fired.count(), 1);
}

void ShortcutManagerTest::triggerCaptureRunsTheHandler()
{
    auto manager = newManager();
    QSignalSpy finished(manager.get(), &ShortcutManager::captureFinished);
    manager->triggerCapture(QStringLiteral("token-of-the-second-start"));
    // The overlay opens on a later turn of the loop, after the reading.
    QCOMPARE(m_captures, 1);
    QCOMPARE(m_shown.size(), 0);
    QVERIFY(finished.wait(20000));
    QCOMPARE(m_shown.size(), 1);
    QCOMPARE(m_shown.first(), std::optional<QString>(QStringLiteral("selected words")));
    // The overlay comes forward with the token that came with the request.
    QCOMPARE(m_activations.first().token, QStringLiteral("token-of-the-second-start"));
    QCOMPARE(m_activations.first().x11Time, 0u);
}

void ShortcutManagerTest::captureRunsAtThePressAndCanWaitForTheRelease()
{
    auto manager = newManager();
    manager->set(KeyCombo(96, Ctrl | Shift)); // ctrl+shift+F5
    QSignalSpy fired(m_hotKeys.get(), &HotKeyService::activated);
    QVERIFY(xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl+shift+F5")}));
    QTRY_COMPARE_WITH_TIMEOUT(fired.count(), 1, 20000);
    // The reading starts at the press, and the overlay opens, key still down.
    QTRY_COMPARE_WITH_TIMEOUT(m_shown.size(), 1, 20000);
    // ... and with the time of the press, for the window manager.
    QVERIFY(m_activations.first().x11Time != 0);
    QCOMPARE(m_activations.first().x11Time, fired.first().at(0).toUInt());
    QCOMPARE(m_captures, 1);
    QVERIFY(m_keyHeldDuringCapture);
    QVERIFY(m_hotKeys->isKeyHeld());
    // A reader that needs the key up waits for exactly that.
    bool released = false;
    QCoro::connect(manager->keyReleased(), this, [&] { released = true; });
    QVERIFY(!released);
    QVERIFY(xdotool({QStringLiteral("keyup"), QStringLiteral("F5")}));
    QTRY_VERIFY_WITH_TIMEOUT(released, 20000);
    QVERIFY(xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+shift")}));
    // With the key up there is nothing to wait for.
    bool atOnce = false;
    QCoro::connect(manager->keyReleased(), this, [&] { atOnce = true; });
    QTRY_VERIFY_WITH_TIMEOUT(atOnce, 20000);
}

QTEST_MAIN(ShortcutManagerTest)
#include "ShortcutManagerTest.moc"
