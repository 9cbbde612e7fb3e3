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
// its own dialog and bind a different trigger than the one we suggest.
class PortalHotKeyService : public HotKeyService {
    Q_OBJECT

public:
    explicit PortalHotKeyService(QDBusConnection bus, QObject *parent = nullptr);
    ~PortalHotKeyService() override;

    // Whether the bus offers a GlobalShortcuts portal; false on any failure.
    static QCoro::Task<bool> isAvailable(QDBusConnection bus, std::chrono::milliseconds timeout);

    // The trigger in the portal's shortcut format, e.g. "CTRL+SHIFT+k".
    static QString triggerFor(const Chord &chord);

    void registerHotKey(const Chord &chord) override;
    void unregisterHotKey() override;

    // How long to wait for each portal answer (the desktop may show a dialog).
    void setResponseTimeout(std::chrono::milliseconds timeout) { m_responseTimeout = timeout; }
    // The session of the current binding, empty while none is bound.
    QString sessionHandle() const { return m_session; }

    // Our shortcut's id for `chord`. It changes with the trigger, so a new
    // recording is a new shortcut the desktop asks about (a desktop keeps the
    // user's own binding for an id it has seen).
    static QString shortcutIdFor(const Chord &chord);
    QString boundShortcutId() const { return m_boundId; }
    // Stable across runs: where the portal hands us no app id (portal 1.16),
    // KDE names the desktop's record of our shortcuts after this token.
    static inline const QString sessionToken = QStringLiteral("vocarta_menubar");

Q_SIGNALS:
    // After each registration attempt has finished (bound or not).
    void registrationFinished(bool bound);

private Q_SLOTS:
    void onActivated(const QDBusMessage &message);

private:
    QCoro::Task<void> bind(Chord chord, quint64 generation);
    QCoro::Task<void> registerApplicationOnce();
    void closeSession(const QString &handle);

    QDBusConnection m_bus;
    QString m_session;
    QString m_boundId;
    std::optional<QDBusPendingCall> m_pendingClose;
    quint64 m_generation = 0;
    bool m_applicationRegistered = false;
    std::chrono::milliseconds m_responseTimeout{std::chrono::minutes(2)};
};
