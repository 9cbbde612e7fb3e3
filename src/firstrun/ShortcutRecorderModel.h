#pragma once

#include "capture/KeyCombo.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWindow>
#include <QtQml/qqmlregistration.h>

#include <chrono>
#include <functional>
#include <optional>

class ShortcutManager;

// State and key rules of the shortcut recorder. While recording it watches
// the key presses sent to its own window, and only those: Escape stops, a key
// without Ctrl, Alt, Shift or Super passes through (Caps Lock is no modifier
// here), a reserved combination is refused with a message that stays for a
// while, anything else becomes the global shortcut through the manager,
// without the Caps Lock bit. Recording ends when the window loses the focus
// or another window of the program (the overlay) opens.
class ShortcutRecorderModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(bool reservedError READ reservedError NOTIFY reservedErrorChanged)
    Q_PROPERTY(bool hasShortcut READ hasShortcut NOTIFY currentComboChanged)
    Q_PROPERTY(QString displayString READ displayString NOTIFY currentComboChanged)
    // What a recorder made by a view talks to: the program's shortcut manager.
    Q_PROPERTY(ShortcutManager *shortcuts READ shortcuts WRITE setShortcuts NOTIFY shortcutsChanged)
    // The window whose key presses are recorded; when unset, the window that
    // has the focus when recording starts.
    Q_PROPERTY(QWindow *window READ window WRITE setWindow NOTIFY windowChanged)

public:
    // What the recorder needs of the shortcut manager.
    struct Manager {
        std::function<std::optional<KeyCombo>()> currentCombo;
        std::function<void(std::optional<KeyCombo>)> set;
    };
    // Runs `action` once after `delay` on the main thread; never cancelled.
    using Scheduler = std::function<void(std::chrono::milliseconds delay, std::function<void()> action)>;

    static constexpr std::chrono::milliseconds reservedMessageDuration{2500};
    static constexpr quint16 escapeKeyCode = 53;

    explicit ShortcutRecorderModel(QObject *parent = nullptr);
    ShortcutRecorderModel(Manager manager, Scheduler scheduler, QObject *parent = nullptr);
    ~ShortcutRecorderModel() override;

    ShortcutManager *shortcuts() const { return m_shortcuts; }
    void setShortcuts(ShortcutManager *shortcuts);

    bool isRecording() const { return m_isRecording; }
    bool reservedError() const { return m_reservedError; }
    bool hasShortcut() const;
    QString displayString() const;
    QWindow *window() const { return m_window; }
    void setWindow(QWindow *window);

    Q_INVOKABLE void startRecording();
    Q_INVOKABLE void stopRecording();
    Q_INVOKABLE void clickField();
    Q_INVOKABLE void clear();

    // The key-down rule for one press in the stored key model. Returns true
    // when the press is swallowed, false when it passes on to the window.
    bool handleKeyDown(quint16 keyCode, quint64 modifierFlags);

Q_SIGNALS:
    void isRecordingChanged();
    void reservedErrorChanged();
    void currentComboChanged();
    void shortcutsChanged();
    void windowChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setReservedError(bool on);
    void watch(QWindow *window);
    void unwatch();

    Manager m_manager;
    QPointer<ShortcutManager> m_shortcuts;
    Scheduler m_scheduler;
    bool m_isRecording = false;
    QPointer<QWindow> m_window;
    // The window being watched while recording.
    QPointer<QWindow> m_watched;
    QMetaObject::Connection m_focusConnection;
    bool m_reservedError = false;
};
