#pragma once

#include "platform/HotKeyService.h"

#include <QDBusConnection>
#include <QDBusPendingCall>

#include <QCoroTask>

#include <chrono>
#include <optional>

class QDBusMessage;

// Global hot key through xdg-desktop-portal's GlobalShortcuts interface: the
// only way on Wayland, and what KDE offers on X11 too. The desktop may show
// its own dialog and bind a different trigger than the one we suggest; what
// it bound is read back and kept up to date (`boundTrigger`).
class PortalHotKeyService : public HotKeyService {
    Q_OBJECT

public:
    explicit PortalHotKeyService(QDBusConnection bus, QObject *parent = nullptr);
    ~PortalHotKeyService() override;

    // Whether the bus offers a GlobalShortcuts portal; false on any failure.
    static QCoro::Task<bool> isAvailable(QDBusConnection bus, std::chrono::milliseconds timeout);

    void registerHotKey(const Chord &chord) override;
    void unregisterHotKey() override;
    QString desktopTrigger() const override;

    // How long to wait for the answer to the binding (the desktop may show a
    // dialog); the other requests get at most `quickAnswerLimit`.
    void setResponseTimeout(std::chrono::milliseconds timeout) { m_responseTimeout = timeout; }
    static constexpr std::chrono::milliseconds quickAnswerLimit{20000};

    // The session of the current binding, empty while none is bound.
    QString sessionHandle() const { return m_session; }

    // Our shortcut's id for `chord`. It changes with the trigger, so a new
    // recording is a new shortcut the desktop asks about (a desktop keeps the
    // user's own binding for an id it has seen).
    static QString shortcutIdFor(const Chord &chord);
    QString boundShortcutId() const { return m_boundId; }
    // The desktop's description of the trigger it bound, as it wrote it
    // ("Ctrl+Alt+K"); empty while nothing is bound.
    QString boundTrigger() const { return m_boundTrigger; }
    // Why the last registration did not bind, or why the bound shortcut no
    // longer has a key; empty otherwise.
    QString failureReason() const { return m_failureReason; }

    // Stable across runs: where the portal hands us no app id (portal 1.16),
    // KDE names the desktop's record of our shortcuts after this token.
    static inline const QString sessionToken = QStringLiteral("vocarta_menubar");

Q_SIGNALS:
    // After each registration attempt has finished (bound or not).
    void registrationFinished(bool bound);
    // A session being created has been kept or closed (internal).
    void creationSettled();

private Q_SLOTS:
    void onActivated(const QDBusMessage &message);
    void onShortcutsChanged(const QDBusMessage &message);

private:
    struct Answer;
    QCoro::Task<void> bind(Chord chord, quint64 generation);
    QCoro::Task<Answer> request(QDBusMessage call, QString token, std::chrono::milliseconds limit);
    QCoro::Task<void> registerApplicationOnce();
    void closeSession(const QString &handle);
    void finish(bool bound, const QString &reason);
    void setBoundTrigger(const QString &trigger);

    QDBusConnection m_bus;
    std::optional<Chord> m_chord;
    QString m_session;
    QString m_boundId;
    QString m_boundTrigger;
    QString m_failureReason;
    std::optional<QDBusPendingCall> m_pendingClose;
    quint64 m_generation = 0;
    bool m_applicationRegistered = false;
    bool m_creating = false;
    std::chrono::milliseconds m_responseTimeout{std::chrono::minutes(2)};
};
