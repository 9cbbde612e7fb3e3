#include "firstrun/ShortcutRecorderModel.h"
#include "RecordingHotKeys.h"
#include "capture/KeyMapping.h"
#include "capture/ShortcutManager.h"

#include <QKeyEvent>
#include <QSettings>
#include <QSignalSpy>
#include <QWindow>
#include <QtTest>

namespace {

constexpr quint16 macA = 0, macK = 40, macQ = 12, macEscape = 53;
constexpr quint64 command = KeyCombo::CommandFlag, shift = KeyCombo::ShiftFlag;

// The manager's side: what is in force, and every set() call.
struct FakeManager {
    std::optional<KeyCombo> current;
    QList<std::optional<KeyCombo>> calls;

    ShortcutRecorderModel::Manager seam()
    {
        return {[this] { return current; },
                [this](std::optional<KeyCombo> c) {
                    calls.append(c);
                    current = c;
                }};
    }
};

// Collects delayed actions so the test decides when time has passed.
struct ManualClock {
    QList<QPair<std::chrono::milliseconds, std::function<void()>>> pending;
    ShortcutRecorderModel::Scheduler seam()
    {
        return [this](std::chrono::milliseconds delay, std::function<void()> action) {
            pending.append({delay, std::move(action)});
        };
    }
    void fire(int index) { pending.at(index).second(); }
};

quint32 scanCodeOf(quint16 macKeyCode)
{
    return *KeyMapping::evdevFromMac(macKeyCode) + 8;
}

// A window that counts the key presses that reach it.
class KeyWindow : public QWindow {
public:
    int presses = 0;

protected:
    void keyPressEvent(QKeyEvent *) override { ++presses; }
};

// Sends a press to the window; true when it was swallowed before reaching it.
bool sendPress(KeyWindow &window, quint16 macKeyCode, Qt::Key key, Qt::KeyboardModifiers modifiers,
               quint32 nativeModifiers = 0)
{
    const int before = window.presses;
    QKeyEvent event(QEvent::KeyPress, key, modifiers, scanCodeOf(macKeyCode), 0, nativeModifiers);
    QCoreApplication::sendEvent(&window, &event);
    return window.presses == before;
}

} // namespace

class ShortcutRecorderModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bareKeyPassesThroughAndRecordingGoesOn();
    void escapeStopsWhateverModifiersAreHeld();
    void acceptedCombinationIsMaskedAndHandedToManager();
    void capsLockCountsAsModifier();
    void reservedCombinationIsRefusedWithTimedMessage();
    void fieldClickTogglesAndClearRemovesShortcut();
    void windowKeyPressesAreSeenOnlyWhileRecording();
    void recordedCombinationIsStoredAndRegisteredByManager();
};

void ShortcutRecorderModelTest::bareKeyPassesThroughAndRecordingGoesOn()
{
    FakeManager manager;
    ManualClock clock;
    ShortcutRecorderModel model(manager.seam(), clock.seam());
    model.startRecording();
    QVERIFY(!model.handleKeyDown(macA, 0));
    // Device-dependent bits alone (the low 16) are no modifier either.
    QVERIFY(!model.handleKeyDown(macA, 0x0100));
    QVERIFY(model.isRecording());
    QVERIFY(manager.calls.isEmpty());
}

void ShortcutRecorderModelTest::escapeStopsWhateverModifiersAreHeld()
{
    FakeManager manager;
    manager.current = KeyCombo(macK, command | shift);
    ManualClock clock;
    ShortcutRecorderModel model(manager.seam(), clock.seam());
    for (quint64 flags : {quint64(0), command, command | shift | KeyCombo::OptionFlag}) {
        model.startRecording();
        QVERIFY(model.handleKeyDown(macEscape, flags));
        QVERIFY(!model.isRecording());
    }
    QVERIFY(manager.calls.isEmpty());
    QCOMPARE(model.displayString(), QStringLiteral("⇧⌘K"));
}

void ShortcutRecorderModelTest::acceptedCombinationIsMaskedAndHandedToManager()
{
    FakeManager manager;
    ManualClock clock;
    ShortcutRecorderModel model(manager.seam(), clock.seam());
    QSignalSpy recording(&model, &ShortcutRecorderModel::isRecordingChanged);
    model.startRecording();
    QVERIFY(model.handleKeyDown(macK, command | shift | 0x0108));
    QCOMPARE(manager.calls.size(), 1);
    QCOMPARE(*manager.calls.first(), KeyCombo(macK, 0x120000));
    QVERIFY(!model.isRecording());
    QCOMPARE(recording.count(), 2);
    // No longer recording: presses are left alone.
    QVERIFY(!model.handleKeyDown(macA, command));
    QCOMPARE(manager.calls.size(), 1);
}

void ShortcutRecorderModelTest::capsLockCountsAsModifier()
{
    FakeManager manager;
    ManualClock clock;
    ShortcutRecorderModel model(manager.seam(), clock.seam());
    model.startRecording();
    QVERIFY(model.handleKeyDown(macA, KeyCombo::CapsLockFlag));
    QCOMPARE(*manager.current, KeyCombo(macA, KeyCombo::CapsLockFlag));

    // Command-Q is reserved, but not with Caps Lock on.
    model.startRecording();
    QVERIFY(model.handleKeyDown(macQ, command | KeyCombo::CapsLockFlag));
    QVERIFY(!model.reservedError());
    QCOMPARE(*manager.current, KeyCombo(macQ, command | KeyCombo::CapsLockFlag));
}

void ShortcutRecorderModelTest::reservedCombinationIsRefusedWithTimedMessage()
{
    FakeManager manager;
    manager.current = KeyCombo(macK, command | shift);
    ManualClock clock;
    ShortcutRecorderModel model(manager.seam(), clock.seam());

    model.startRecording();
    QVERIFY(model.handleKeyDown(macQ, command));
    QVERIFY(model.reservedError());
    QVERIFY(!model.isRecording());
    QVERIFY(manager.calls.isEmpty());
    QCOMPARE(clock.pending.size(), 1);
    QCOMPARE(clock.pending.first().first, std::chrono::milliseconds(2500));

    // Recording again hides the message at once.
    model.startRecording();
    QVERIFY(!model.reservedError());
    QVERIFY(model.handleKeyDown(12 + 1 /* W */, command));
    QVERIFY(model.reservedError());
    QCOMPARE(clock.pending.size(), 2);

    // The first refusal's reset is not cancelled by the second one.
    clock.fire(0);
    QVERIFY(!model.reservedError());
    model.startRecording();
    clock.fire(1);
    QVERIFY(!model.reservedError());
    QVERIFY(model.isRecording());
    QCOMPARE(model.displayString(), QStringLiteral("⇧⌘K"));

    // A reset after the recorder is gone does nothing.
    auto *shortLived = new ShortcutRecorderModel(manager.seam(), clock.seam());
    shortLived->startRecording();
    shortLived->handleKeyDown(macQ, command);
    delete shortLived;
    clock.fire(2);
}

void ShortcutRecorderModelTest::fieldClickTogglesAndClearRemovesShortcut()
{
    FakeManager manager;
    ManualClock clock;
    ShortcutRecorderModel model(manager.seam(), clock.seam());
    QVERIFY(!model.hasShortcut());
    model.clickField();
    QVERIFY(model.isRecording());
    model.clickField();
    QVERIFY(!model.isRecording());
    QVERIFY(manager.calls.isEmpty());

    manager.current = KeyCombo(macK, command | shift);
    QVERIFY(model.hasShortcut());
    model.clear();
    QCOMPARE(manager.calls.size(), 1);
    QVERIFY(!manager.calls.first().has_value());
    QVERIFY(!model.hasShortcut());
    QCOMPARE(model.displayString(), QString());
}

void ShortcutRecorderModelTest::windowKeyPressesAreSeenOnlyWhileRecording()
{
    FakeManager manager;
    ManualClock clock;
    ShortcutRecorderModel model(manager.seam(), clock.seam());
    KeyWindow window;

    QVERIFY(!sendPress(window, macK, Qt::Key_K, Qt::ControlModifier));
    QVERIFY(manager.calls.isEmpty());

    model.startRecording();
    // A modifier on its own is not a combination.
    QVERIFY(!sendPress(window, 56 /* left shift */, Qt::Key_Shift, Qt::ShiftModifier));
    QVERIFY(model.isRecording());
    // A plain letter reaches the window.
    QVERIFY(!sendPress(window, macA, Qt::Key_A, Qt::NoModifier));
    QVERIFY(model.isRecording());
    // Window shortcuts stay quiet while recording.
    QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_Comma, Qt::ControlModifier);
    override.ignore();
    QCoreApplication::sendEvent(&window, &override);
    QVERIFY(override.isAccepted());

    QVERIFY(sendPress(window, macK, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, 0x2));
    QCOMPARE(*manager.current,
             KeyCombo(macK, KeyCombo::ControlFlag | KeyCombo::OptionFlag | KeyCombo::CapsLockFlag));
    QVERIFY(!model.isRecording());
}

void ShortcutRecorderModelTest::recordedCombinationIsStoredAndRegisteredByManager()
{
    QCoreApplication::setOrganizationName(QStringLiteral("vocarta-firstrun-test"));
    QSettings().remove(ShortcutManager::defaultsKey);
    RecordingHotKeys hotKeys;
    ShortcutManager manager(
        hotKeys, []() -> QCoro::Task<std::optional<QString>> { co_return std::nullopt; },
        [](std::optional<QString>) {});
    ManualClock clock;
    ShortcutRecorderModel model({}, clock.seam());
    model.setShortcuts(&manager);
    QSignalSpy shown(&model, &ShortcutRecorderModel::currentComboChanged);

    model.startRecording();
    QVERIFY(model.handleKeyDown(macK, command | shift));
    QCOMPARE(shown.count(), 1);
    QCOMPARE(model.displayString(), QStringLiteral("⇧⌘K"));
    QCOMPARE(QSettings().value(ShortcutManager::defaultsKey).toByteArray(),
             QByteArray(R"({"keyCode":40,"modifierFlags":1179648})"));
    QCOMPARE(hotKeys.registered.size(), 1);
    QCOMPARE(hotKeys.registered.first().evdevCode, *KeyMapping::evdevFromMac(macK));
    QVERIFY(hotKeys.registered.first().super && hotKeys.registered.first().shift);

    // A refused combination leaves the manager alone.
    model.startRecording();
    QVERIFY(model.handleKeyDown(macQ, command));
    QCOMPARE(hotKeys.registered.size(), 1);
    QCOMPARE(manager.currentCombo(), KeyCombo(macK, command | shift));

    model.clear();
    QVERIFY(!model.hasShortcut());
    QVERIFY(!QSettings().contains(ShortcutManager::defaultsKey));
    QCOMPARE(hotKeys.unregistrations, 1);
}

QTEST_MAIN(ShortcutRecorderModelTest)
#include "ShortcutRecorderModelTest.moc"
