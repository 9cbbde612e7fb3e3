#pragma once

#include "capture/KeyCombo.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

#include <QCoroTask>

#include <functional>
#include <optional>

class HotKeyService;

// Keeps the user's global shortcut: stores it in the settings, registers it
// with the desktop, and runs the capture when it fires.
class ShortcutManager : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("one per program, handed to the views that show it")
    Q_PROPERTY(QVariant currentCombo READ currentComboVariant NOTIFY currentComboChanged)

public:
    // Reads the selection of the application in front.
    using CaptureFunction = std::function<QCoro::Task<std::optional<QString>>()>;
    // Opens the add-card overlay with the captured text.
    using ShowPanelFunction = std::function<void(std::optional<QString>)>;

    static ShortcutManager &shared();
    ShortcutManager(HotKeyService &hotKeys, CaptureFunction capture, ShowPanelFunction showPanel,
                    QObject *parent = nullptr);
    ~ShortcutManager() override;

    std::optional<KeyCombo> currentCombo() const { return m_currentCombo; }
    QVariant currentComboVariant() const;

    // Replaces the combination in force (absent removes it), stores or
    // deletes it, and registers the new one.
    void set(std::optional<KeyCombo> combo);
    Q_INVOKABLE void clear() { set(std::nullopt); }
    // Once at start-up: makes the stored combination current and registers it.
    void loadAndRegister();
    // What the hot key does; also reached through `vocarta-menubar --capture`.
    Q_INVOKABLE void triggerCapture();

    // The X server time of the press that last fired, 0 when unknown; the
    // overlay uses it to activate its window.
    quint32 lastTriggerTime() const { return m_lastTriggerTime; }
    // How long the capture waits for the hot key's release before reading.
    void setReleaseWait(std::chrono::milliseconds wait) { m_releaseWait = wait; }

    static inline const QString defaultsKey = QStringLiteral("shortcutKeyCombo");

Q_SIGNALS:
    void currentComboChanged();
    // After each capture, when the overlay has been asked to open.
    void captureFinished();

private:
    void registerCombo(const KeyCombo &combo);
    void onActivated(quint32 timestamp);
    QCoro::Task<void> runCapture();

    HotKeyService &m_hotKeys;
    CaptureFunction m_capture;
    ShowPanelFunction m_showPanel;
    std::optional<KeyCombo> m_currentCombo;
    bool m_registered = false;
    bool m_capturing = false;
    quint32 m_lastTriggerTime = 0;
    std::chrono::milliseconds m_releaseWait{1000};
};
