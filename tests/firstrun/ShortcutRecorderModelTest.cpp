#include "firstrun/ShortcutRecorderModel.h"
#include "RecordingHotKeys.h"
#include "capture/KeyMapping.h"
#include "capture/ShortcutManager.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QProcess>
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
    void capsLockIsNoModifier_data();
    void capsLockIsNoModifier();
    void reservedCombinationIsRefusedWithTimedMessage();
    void fieldClickTogglesAndClearRemovesShortcut();
    void windowKeyPressesAreSeenOnlyWhileRecording();
    void recordingIsConfinedToItsWindow();
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
    QCOMPARE(model.displayString(), QStringLiteral("Meta+Shift+K"));
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

void ShortcutRecorderModelTest::capsLockIsNoModifier_data()
{
    // A press with Caps Lock on: passed through, or what is stored, or refused.
    QTest::addColumn<quint16>("code");
    QTest::addColumn<quint64>("flags");
    QTest::addColumn<bool>("swallowed");
    QTest::addColumn<std::optional<KeyCombo>>("stored");
    QTest::addColumn<bool>("reserved");
    const quint64 caps = KeyCombo::CapsLockFlag;
    QTest::newRow("plain letter") << macA << caps << false << std::optional<KeyCombo>() << false;
    QTest::newRow("letter with the function bit")
        << macA << (caps | (1ull << 23)) << false << std::optional<KeyCombo>() << false;
    QTest::newRow("Ctrl+Caps+K stored without Caps")
        << macK << (KeyCombo::ControlFlag | caps) << true
        << std::optional<KeyCombo>(KeyCombo(macK, KeyCombo::ControlFlag)) << false;
    QTest::newRow("reserved check without Caps")
        << macQ << (command | caps) << true << std::optional<KeyCombo>() << true;
}

void ShortcutRecorderModelTest::capsLockIsNoModifier()
{
    QFETCH(quint16, code);
    QFETCH(quint64, flags);
    QFETCH(bool, swallowed);
    QFETCH(std::optional<KeyCombo>, stored);
    QFETCH(bool, reserved);
    FakeManager manager;
    ManualClock clock;
    ShortcutRecorderModel model(manager.seam(), clock.seam());
    model.startRecording();
    QCOMPARE(model.handleKeyDown(code, flags), swallowed);
    QCOMPARE(model.isRecording(), !swallowed);
    QCOMPARE(model.reservedError(), reserved);
    QCOMPARE(manager.current, stored);
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
    QCOMPARE(model.displayString(), QStringLiteral("Meta+Shift+K"));

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
    model.setWindow(&window);

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
    QCOMPARE(*manager.current, KeyCombo(macK, KeyCombo::ControlFlag | KeyCombo::OptionFlag));
    QVERIFY(!model.isRecording());
}

// Keys pressed in another window of the program (the overlay) are not the
// recorder's; that window opening, or the recorder's window losing the focus,
// ends the recording.
void ShortcutRecorderModelTest::recordingIsConfinedToItsWindow()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs the test session's window manager");
    FakeManager manager;
    ManualClock clock;
    ShortcutRecorderModel model(manager.seam(), clock.seam());
    KeyWindow recorderWindow;
    KeyWindow other;
    recorderWindow.setGeometry(100, 100, 200, 100);
    other.setGeometry(400, 100, 200, 100);
    const auto activate = [](QWindow &window) {
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("windowactivate"), QString::number(window.winId())});
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::focusWindow(), &window, 20000);
    };

    recorderWindow.show();
    activate(recorderWindow);
    model.startRecording(); // from the window in front: the click came from it
    QVERIFY(!sendPress(other, macK, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier));
    QVERIFY(!sendPress(other, macEscape, Qt::Key_Escape, Qt::NoModifier));
    QVERIFY(model.isRecording());
    QVERIFY(manager.calls.isEmpty());
    // Another window of the program opens: recording ends at once.
    other.show();
    QVERIFY(!model.isRecording());
    QVERIFY(!sendPress(recorderWindow, macK, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier));
    QVERIFY(manager.calls.isEmpty());

    activate(recorderWindow);
    model.setWindow(&recorderWindow);
    model.startRecording();
    activate(other);
    QTRY_VERIFY_WITH_TIMEOUT(!model.isRecording(), 20000);

    activate(recorderWindow);
    model.startRecording();
    QVERIFY(sendPress(recorderWindow, macK, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier));
    QCOMPARE(*manager.current, KeyCombo(macK, KeyCombo::ControlFlag | KeyCombo::ShiftFlag));
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
    QCOMPARE(model.displayString(), QStringLiteral("Meta+Shift+K"));
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
