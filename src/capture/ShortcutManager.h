#pragma once

#include "capture/KeyCombo.h"
#include "platform/WindowActivation.h"

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
    // What the desktop made of the shortcut, for the views: the trigger it
    // actually bound where that is not the recorded combination (its own
    // settings win), why the shortcut does not work, and whether recording
    // one can work here at all.
    Q_PROPERTY(QString desktopTrigger READ desktopTrigger NOTIFY hotKeyStatusChanged)
    Q_PROPERTY(QString hotKeyProblem READ hotKeyProblem NOTIFY hotKeyStatusChanged)
    Q_PROPERTY(bool canRecord READ canRecord NOTIFY hotKeyStatusChanged)

public:
    // Reads the selection of the application in front.
    using CaptureFunction = std::function<QCoro::Task<std::optional<QString>>()>;
    // Opens the add-card overlay with the captured text, bringing it forward
    // with what came with the trigger (the key press's time, a token).
    using ShowPanelFunction = std::function<void(std::optional<QString>, const WindowActivation::Request &)>;

    ShortcutManager(HotKeyService &hotKeys, CaptureFunction capture, ShowPanelFunction showPanel,
                    QObject *parent = nullptr);
    // For an overlay that brings itself forward without help.
    ShortcutManager(HotKeyService &hotKeys, CaptureFunction capture,
                    std::function<void(std::optional<QString>)> showPanel, QObject *parent = nullptr);
    ~ShortcutManager() override;

    std::optional<KeyCombo> currentCombo() const { return m_currentCombo; }
    QVariant currentComboVariant() const;
    QString desktopTrigger() const;
    QString hotKeyProblem() const;
    bool canRecord() const;

    // Replaces the combination in force (absent removes it), stores or
    // deletes it, and registers the new one.
    void set(std::optional<KeyCombo> combo);
    Q_INVOKABLE void clear() { set(std::nullopt); }
    // Once at start-up: makes the stored combination current and registers it.
    void loadAndRegister();
    // What the hot key does; also reached through `vocarta-menubar --capture`,
    // with the activation token the desktop gave that second start.
    Q_INVOKABLE void triggerCapture(const QString &activationToken = QString());
    // Finishes once the hot key that fired is up, at most after the release
    // wait; at once when it is not held. For a reader that cannot read while
    // the key holds the keyboard.
    QCoro::Task<void> keyReleased();
    // How long keyReleased() waits.
    void setReleaseWait(std::chrono::milliseconds wait) { m_releaseWait = wait; }

    static inline const QString defaultsKey = QStringLiteral("shortcutKeyCombo");

Q_SIGNALS:
    void currentComboChanged();
    void hotKeyStatusChanged();
    // After each capture, when the overlay has been asked to open.
    void captureFinished();

private:
    void registerCombo(const KeyCombo &combo);
    void onActivated(quint32 timestamp, const QString &activationToken);
    void startCapture(WindowActivation::Request activation);
    QCoro::Task<void> runCapture(WindowActivation::Request activation);

    HotKeyService &m_hotKeys;
    CaptureFunction m_capture;
    ShowPanelFunction m_showPanel;
    std::optional<KeyCombo> m_currentCombo;
    bool m_registered = false;
    bool m_capturing = false;
    std::chrono::milliseconds m_releaseWait{1000};
};
