#include "firstrun/ShortcutRecorderModel.h"

#include "capture/KeyMapping.h"
#include "capture/ShortcutManager.h"

#include <QGuiApplication>
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
    unwatch();
}

void ShortcutRecorderModel::setWindow(QWindow *window)
{
    if (window == m_window)
        return;
    m_window = window;
    Q_EMIT windowChanged();
    if (m_isRecording)
        watch(window);
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
    return combo ? combo->displayText() : QString();
}

void ShortcutRecorderModel::setReservedError(bool on)
{
    if (m_reservedError == on)
        return;
    m_reservedError = on;
    Q_EMIT reservedErrorChanged();
}

void ShortcutRecorderModel::watch(QWindow *window)
{
    unwatch();
    m_watched = window;
    // One filter on the application: it sees the watched window's key presses
    // before the window does, and other windows appearing (the overlay ends
    // the recording even when it gets no focus).
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        app->installEventFilter(this);
        m_focusConnection = connect(app, &QGuiApplication::focusWindowChanged, this, [this](QWindow *focus) {
            if (m_isRecording && focus != m_watched)
                stopRecording();
        });
    }
}

void ShortcutRecorderModel::unwatch()
{
    m_watched = nullptr;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    disconnect(m_focusConnection);
}

void ShortcutRecorderModel::startRecording()
{
    setReservedError(false);
    watch(m_window ? m_window.data() : QGuiApplication::focusWindow());
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
    unwatch();
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
    // Caps Lock alone would make a bare letter the global shortcut, taken
    // away from every application; with another modifier it is only the
    // lock's state at the time of recording.
    const KeyCombo combo =
        KeyCombo(keyCode, modifierFlags & KeyCombo::DeviceIndependentMask).withoutCapsLock();
    if (!combo.hasModifierKey())
        return false;
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
    if (event->type() == QEvent::Show && watched != m_watched) {
        auto *shown = qobject_cast<QWindow *>(watched);
        const bool popup = shown && (shown->type() == Qt::Popup || shown->type() == Qt::ToolTip);
        if (shown && shown->isTopLevel() && !popup)
            stopRecording();
        return false;
    }
    if (!m_watched)
        return false;
    // Key events reach the window first and are then forwarded to its items;
    // looking at the window's copy sees each press once.
    if (event->type() == QEvent::KeyPress && watched == m_watched) {
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
    if (event->type() == QEvent::ShortcutOverride &&
        (watched == m_watched || QGuiApplication::focusWindow() == m_watched)) {
        event->accept();
        return true;
    }
    return false;
}
