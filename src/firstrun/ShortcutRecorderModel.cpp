#include "firstrun/ShortcutRecorderModel.h"

#include "capture/KeyMapping.h"
#include "capture/ShortcutManager.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>

ShortcutRecorderModel::ShortcutRecorderModel(QObject *parent)
    : ShortcutRecorderModel({}, {}, parent)
{
}

ShortcutRecorderModel::ShortcutRecorderModel(Manager manager, Scheduler scheduler, QObject *parent)
    : QObject(parent)
    , m_manager(std::move(manager))
    , m_scheduler(std::move(scheduler))
{
    if (!m_scheduler) {
        m_scheduler = [this](std::chrono::milliseconds delay, std::function<void()> action) {
            QTimer::singleShot(delay, this, std::move(action));
        };
    }
}

ShortcutRecorderModel::~ShortcutRecorderModel()
{
    if (m_monitorInstalled && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void ShortcutRecorderModel::setShortcuts(ShortcutManager *shortcuts)
{
    if (shortcuts == m_shortcuts)
        return;
    if (m_shortcuts)
        disconnect(m_shortcuts, nullptr, this, nullptr);
    m_shortcuts = shortcuts;
    m_manager = {};
    if (shortcuts) {
        QPointer<ShortcutManager> guard(shortcuts);
        m_manager.currentCombo = [guard] { return guard ? guard->currentCombo() : std::nullopt; };
        m_manager.set = [guard](std::optional<KeyCombo> combo) {
            if (guard)
                guard->set(combo);
        };
        connect(shortcuts, &ShortcutManager::currentComboChanged, this,
                &ShortcutRecorderModel::currentComboChanged);
    }
    Q_EMIT shortcutsChanged();
    Q_EMIT currentComboChanged();
}

bool ShortcutRecorderModel::hasShortcut() const
{
    return m_manager.currentCombo && m_manager.currentCombo().has_value();
}

QString ShortcutRecorderModel::displayString() const
{
    if (!m_manager.currentCombo)
        return QString();
    const std::optional<KeyCombo> combo = m_manager.currentCombo();
    return combo ? combo->displayString() : QString();
}

void ShortcutRecorderModel::setReservedError(bool on)
{
    if (m_reservedError == on)
        return;
    m_reservedError = on;
    Q_EMIT reservedErrorChanged();
}

void ShortcutRecorderModel::startRecording()
{
    setReservedError(false);
    if (!m_monitorInstalled && QCoreApplication::instance()) {
        QCoreApplication::instance()->installEventFilter(this);
        m_monitorInstalled = true;
    }
    if (!m_isRecording) {
        m_isRecording = true;
        Q_EMIT isRecordingChanged();
    }
}

void ShortcutRecorderModel::stopRecording()
{
    if (m_isRecording) {
        m_isRecording = false;
        Q_EMIT isRecordingChanged();
    }
    if (m_monitorInstalled) {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeEventFilter(this);
        m_monitorInstalled = false;
    }
}

void ShortcutRecorderModel::clickField()
{
    if (m_isRecording)
        stopRecording();
    else
        startRecording();
}

void ShortcutRecorderModel::clear()
{
    if (m_manager.set)
        m_manager.set(std::nullopt);
}

bool ShortcutRecorderModel::handleKeyDown(quint16 keyCode, quint64 modifierFlags)
{
    if (!m_isRecording)
        return false;
    if (keyCode == escapeKeyCode) {
        stopRecording();
        return true;
    }
    const quint64 masked = modifierFlags & KeyCombo::DeviceIndependentMask;
    if (masked == 0)
        return false;
    const KeyCombo combo(keyCode, masked);
    if (combo.isReserved()) {
        setReservedError(true);
        // Each refusal clears the message on its own schedule, even when a
        // newer refusal or a new recording happened in between.
        QPointer<ShortcutRecorderModel> self(this);
        m_scheduler(reservedMessageDuration, [self] {
            if (self)
                self->setReservedError(false);
        });
        stopRecording();
        return true;
    }
    if (m_manager.set)
        m_manager.set(combo);
    stopRecording();
    return true;
}

bool ShortcutRecorderModel::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_isRecording)
        return false;
    // Key events reach the window first and are then forwarded to its items;
    // looking at the window's copy sees each press once.
    if (event->type() == QEvent::KeyPress && qobject_cast<QWindow *>(watched)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const std::optional<KeyMapping::MacKeyPress> press = KeyMapping::fromKeyEvent(*key);
        // A modifier pressed on its own is not a key press of a combination
        // yet; keys the stored model has no code for pass through as well.
        if (!press || KeyMapping::isModifierKey(press->keyCode))
            return false;
        return handleKeyDown(press->keyCode, press->modifierFlags);
    }
    // Keeps the window's own shortcuts (such as the settings key) from firing
    // before the press reaches the recorder.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    return false;
}
