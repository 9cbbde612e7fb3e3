#pragma once

#include <QObject>
#include <QString>

// A system-wide hot key: one combination at a time, one `activated` per press,
// delivered on the main thread. Implementations: X11 key grab, the desktop
// portal's global shortcuts, and one that only says nothing is available.
class HotKeyService : public QObject {
    Q_OBJECT

public:
    // A physical key (Linux evdev code) with the modifiers that must be held.
    struct Chord {
        quint16 evdevCode = 0;
        bool control = false;
        bool alt = false;
        bool shift = false;
        bool super = false;
        // The key's keysym name on a US layout, for services that take key names.
        QString keysymName;
        // What the user sees for the combination, for messages.
        QString displayText;
        friend bool operator==(const Chord &, const Chord &) = default;
    };

    using QObject::QObject;

    // Registers `chord`. Does not unregister an earlier registration; a refusal
    // is logged by the service and otherwise silent.
    virtual void registerHotKey(const Chord &chord) = 0;
    virtual void unregisterHotKey() = 0;
    // True between a press that fired and the key's release, where the
    // service can tell (an X11 grab holds the keyboard meanwhile).
    virtual bool isKeyHeld() const { return false; }

    // What the user should see about the registration (all change together,
    // with `statusChanged`):
    // The trigger the desktop actually bound, in the desktop's own words
    // ("Meta+X"), where it is not the combination asked for: the desktop chose
    // another one, or the user changed it in the desktop's settings. Empty
    // when it is the one asked for, or unknown.
    virtual QString desktopTrigger() const { return {}; }
    // Why the hot key does not fire, in words for the user, with what to do
    // instead; empty while nothing is known to be wrong.
    virtual QString problem() const { return {}; }
    // False where no mechanism exists at all: recording a combination there
    // cannot make it work.
    virtual bool canRegister() const { return true; }

Q_SIGNALS:
    // `timestamp` is the triggering event's time (X server time on X11), 0
    // when unknown; `activationToken` is one the desktop handed over with the
    // trigger for bringing a window forward (xdg-activation), or empty.
    void activated(quint32 timestamp, const QString &activationToken = QString());
    void released();
    void statusChanged();
};
