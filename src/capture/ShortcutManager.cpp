#include "capture/ShortcutManager.h"

#include "capture/KeyMapping.h"
#include "platform/HotKeyService.h"
#include "platform/Log.h"
#include "platform/WhileAlive.h"

#include <QSettings>
#include <QTimer>

#include <QCoroSignal>

ShortcutManager::ShortcutManager(HotKeyService &hotKeys, CaptureFunction capture, ShowPanelFunction showPanel,
                                 QObject *parent)
    : QObject(parent)
    , m_hotKeys(hotKeys)
    , m_capture(std::move(capture))
    , m_showPanel(std::move(showPanel))
{
    connect(&m_hotKeys, &HotKeyService::activated, this, &ShortcutManager::onActivated);
    connect(&m_hotKeys, &HotKeyService::statusChanged, this, &ShortcutManager::hotKeyStatusChanged);
}

ShortcutManager::ShortcutManager(HotKeyService &hotKeys, CaptureFunction capture,
                                 std::function<void(std::optional<QString>)> showPanel, QObject *parent)
    : ShortcutManager(
          hotKeys, std::move(capture),
          [showPanel = std::move(showPanel)](std::optional<QString> text, const WindowActivation::Request &) {
              showPanel(std::move(text));
          },
          parent)
{
}

ShortcutManager::~ShortcutManager() = default;

QVariant ShortcutManager::currentComboVariant() const
{
    return m_currentCombo ? QVariant::fromValue(*m_currentCombo) : QVariant();
}

QString ShortcutManager::desktopTrigger() const
{
    return m_currentCombo ? m_hotKeys.desktopTrigger() : QString();
}

QString ShortcutManager::hotKeyProblem() const
{
    // Without a mechanism the user needs to know even before recording;
    // anything else only concerns a shortcut that is set.
    if (!m_hotKeys.canRegister() || m_currentCombo)
        return m_hotKeys.problem();
    return {};
}

bool ShortcutManager::canRecord() const
{
    return m_hotKeys.canRegister();
}

void ShortcutManager::loadAndRegister()
{
    const QVariant stored = QSettings().value(defaultsKey);
    if (!stored.isValid())
        return;
    // A bad value is left alone: recording a new shortcut overwrites it.
    const auto combo = KeyCombo::fromJson(stored.toByteArray());
    // Caps Lock alone (or no modifier at all) would take a bare key away
    // from every application: such a value counts as unreadable.
    if (!combo || !combo->hasModifierKey())
        return;
    m_currentCombo = combo;
    Q_EMIT currentComboChanged();
    Q_EMIT hotKeyStatusChanged();
    registerCombo(*combo);
}

void ShortcutManager::set(std::optional<KeyCombo> combo)
{
    if (m_registered) {
        m_hotKeys.unregisterHotKey();
        m_registered = false;
    }
    m_currentCombo = combo;
    Q_EMIT currentComboChanged();
    Q_EMIT hotKeyStatusChanged();
    QSettings settings;
    if (!combo) {
        settings.remove(defaultsKey);
        return;
    }
    settings.setValue(defaultsKey, combo->toJson());
    settings.sync();
    registerCombo(*combo);
}

void ShortcutManager::registerCombo(const KeyCombo &combo)
{
    const auto evdev = KeyMapping::evdevFromMac(combo.keyCode);
    if (!evdev) {
        logLine(
            LogChannel::Shell,
            QStringLiteral("[Vocarta] The shortcut %1 has no key on this system.").arg(combo.displayText()));
        return;
    }
    const KeyMapping::LinuxModifiers modifiers = KeyMapping::linuxFromMacFlags(combo.modifierFlags);
    HotKeyService::Chord chord;
    chord.evdevCode = *evdev;
    chord.control = modifiers.control;
    chord.alt = modifiers.alt;
    chord.shift = modifiers.shift;
    chord.super = modifiers.super;
    chord.keysymName = KeyMapping::keysymNameForEvdev(*evdev);
    chord.displayText = combo.displayText();
    m_hotKeys.registerHotKey(chord);
    m_registered = true;
}

void ShortcutManager::onActivated(quint32 timestamp, const QString &activationToken)
{
    startCapture({timestamp, activationToken});
}

void ShortcutManager::triggerCapture(const QString &activationToken)
{
    startCapture({0, activationToken});
}

void ShortcutManager::startCapture(WindowActivation::Request activation)
{
    // A second press while reading only repeats what is already under way.
    logTimingStep(m_capturing ? "capture: requested while reading" : "capture: requested");
    if (m_capturing)
        return;
    m_capturing = true;
    QCoro::connect(runCapture(std::move(activation)), this, [] {});
}

QCoro::Task<void> ShortcutManager::keyReleased()
{
    // While an X11 grab holds the keyboard, GTK applications report no
    // active window; a reader that needs one waits for the key (bounded).
    if (m_hotKeys.isKeyHeld()) {
        logTimingStep("capture: waiting for the key's release");
        co_await qCoro(&m_hotKeys, &HotKeyService::released, m_releaseWait);
    }
}

QCoro::Task<void> ShortcutManager::runCapture(WindowActivation::Request activation)
{
    std::optional<QString> text;
    try {
        // At the press: the reader waits for the release itself (keyReleased)
        // only where it cannot tell what is in front while the key is held.
        text = co_await whileAlive(this, m_capture());
    } catch (const std::exception &) {
        text.reset();
    }
    m_capturing = false;
    logTimingStep("capture: read done");
    // The overlay opens on a later turn of the event loop, after the reading.
    QTimer::singleShot(0, this, [this, text, activation] {
        logTimingStep("capture: show");
        m_showPanel(text, activation);
        Q_EMIT captureFinished();
    });
}
