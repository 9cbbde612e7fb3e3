#pragma once

#include <QKeyCombination>
#include <QString>
#include <QtGlobal>

#include <optional>

class QKeyEvent;

// Translates between the stored key model (macOS virtual key codes and NSEvent
// modifier bits) and Linux keys, by physical key position: the same key on the
// keyboard has the same stored code whatever the layout.
namespace KeyMapping {

struct MacKeyPress {
    quint16 keyCode;
    quint64 modifierFlags;
};

// Modifier keys a hot-key service understands, independent of any platform.
struct LinuxModifiers {
    bool control = false;
    bool alt = false;
    bool shift = false;
    bool super = false;
    friend bool operator==(const LinuxModifiers &, const LinuxModifiers &) = default;
};

// Linux evdev code of a macOS key code, or absent for a key Linux has no counterpart of.
std::optional<quint16> evdevFromMac(quint16 macKeyCode);
// macOS key code of a Linux evdev code, or absent for a key the stored model has no code for.
std::optional<quint16> macFromEvdev(quint16 evdevCode);
// The xkb keysym name of the key on a US layout ("k", "F5", "space"), or empty.
QString keysymNameForEvdev(quint16 evdevCode);
// Qt's key for a macOS key code (with the keypad modifier for keypad keys),
// for showing the key the way Linux desktops name it; absent when unknown.
std::optional<QKeyCombination> qtKeyForMac(quint16 macKeyCode);
// True for Shift, Control, Alt, Super, Caps Lock and the Fn key themselves.
bool isModifierKey(quint16 macKeyCode);

quint64 macFlagsFromLinux(const LinuxModifiers &modifiers, bool capsLock);
LinuxModifiers linuxFromMacFlags(quint64 modifierFlags);

// A key press as the recorder sees it: the key's native scan code (X11 and
// Wayland keycodes are evdev + 8), Qt's modifiers and the Caps Lock state.
std::optional<MacKeyPress> fromKeyEvent(const QKeyEvent &event);

// Every (mac, evdev) pair of the table, for tests and diagnostics.
struct Pair {
    quint16 mac;
    quint16 evdev;
};
const Pair *pairsBegin();
const Pair *pairsEnd();

} // namespace KeyMapping
