#include "capture/KeyMapping.h"

#include "capture/KeyCombo.h"

#include <QKeyEvent>

#include <cstdlib>
#include <cstring>

namespace KeyMapping {

namespace {

struct Row {
    quint16 mac;
    quint16 evdev;
    const char *keysym;
};

// macOS virtual key code, Linux evdev code (linux/input-event-codes.h), the
// key's keysym on a US layout. One row per physical key.
constexpr Row rows[] = {
    // Letters
    {0x00, 30, "a"},
    {0x01, 31, "s"},
    {0x02, 32, "d"},
    {0x03, 33, "f"},
    {0x04, 35, "h"},
    {0x05, 34, "g"},
    {0x06, 44, "z"},
    {0x07, 45, "x"},
    {0x08, 46, "c"},
    {0x09, 47, "v"},
    {0x0B, 48, "b"},
    {0x0C, 16, "q"},
    {0x0D, 17, "w"},
    {0x0E, 18, "e"},
    {0x0F, 19, "r"},
    {0x10, 21, "y"},
    {0x11, 20, "t"},
    {0x1F, 24, "o"},
    {0x20, 22, "u"},
    {0x22, 23, "i"},
    {0x23, 25, "p"},
    {0x25, 38, "l"},
    {0x26, 36, "j"},
    {0x28, 37, "k"},
    {0x2D, 49, "n"},
    {0x2E, 50, "m"},
    // Digits
    {0x12, 2, "1"},
    {0x13, 3, "2"},
    {0x14, 4, "3"},
    {0x15, 5, "4"},
    {0x17, 6, "5"},
    {0x16, 7, "6"},
    {0x1A, 8, "7"},
    {0x1C, 9, "8"},
    {0x19, 10, "9"},
    {0x1D, 11, "0"},
    // Punctuation
    {0x1B, 12, "minus"},
    {0x18, 13, "equal"},
    {0x21, 26, "bracketleft"},
    {0x1E, 27, "bracketright"},
    {0x29, 39, "semicolon"},
    {0x27, 40, "apostrophe"},
    {0x32, 41, "grave"},
    {0x2A, 43, "backslash"},
    {0x2B, 51, "comma"},
    {0x2F, 52, "period"},
    {0x2C, 53, "slash"},
    {0x0A, 86, "less"},
    // Editing and whitespace
    {0x24, 28, "Return"},
    {0x30, 15, "Tab"},
    {0x31, 57, "space"},
    {0x33, 14, "BackSpace"},
    {0x35, 1, "Escape"},
    {0x75, 111, "Delete"},
    {0x72, 110, "Insert"},
    // Function keys
    {0x7A, 59, "F1"},
    {0x78, 60, "F2"},
    {0x63, 61, "F3"},
    {0x76, 62, "F4"},
    {0x60, 63, "F5"},
    {0x61, 64, "F6"},
    {0x62, 65, "F7"},
    {0x64, 66, "F8"},
    {0x65, 67, "F9"},
    {0x6D, 68, "F10"},
    {0x67, 87, "F11"},
    {0x6F, 88, "F12"},
    {0x69, 183, "F13"},
    {0x6B, 184, "F14"},
    {0x71, 185, "F15"},
    {0x6A, 186, "F16"},
    {0x40, 187, "F17"},
    {0x4F, 188, "F18"},
    {0x50, 189, "F19"},
    {0x5A, 190, "F20"},
    // Arrows and navigation
    {0x7B, 105, "Left"},
    {0x7C, 106, "Right"},
    {0x7D, 108, "Down"},
    {0x7E, 103, "Up"},
    {0x73, 102, "Home"},
    {0x77, 107, "End"},
    {0x74, 104, "Prior"},
    {0x79, 109, "Next"},
    // Keypad
    {0x52, 82, "KP_0"},
    {0x53, 79, "KP_1"},
    {0x54, 80, "KP_2"},
    {0x55, 81, "KP_3"},
    {0x56, 75, "KP_4"},
    {0x57, 76, "KP_5"},
    {0x58, 77, "KP_6"},
    {0x59, 71, "KP_7"},
    {0x5B, 72, "KP_8"},
    {0x5C, 73, "KP_9"},
    {0x41, 83, "KP_Decimal"},
    {0x43, 55, "KP_Multiply"},
    {0x45, 78, "KP_Add"},
    {0x4B, 98, "KP_Divide"},
    {0x4C, 96, "KP_Enter"},
    {0x4E, 74, "KP_Subtract"},
    {0x51, 117, "KP_Equal"},
    // Media keys
    {0x48, 115, "XF86AudioRaiseVolume"},
    {0x49, 114, "XF86AudioLowerVolume"},
    {0x4A, 113, "XF86AudioMute"},
    // Japanese keyboards
    {0x5D, 124, "yen"},
    {0x5E, 89, "backslash"},
    {0x5F, 95, "KP_Separator"},
    {0x66, 123, "Eisu_toggle"},
    {0x68, 122, "Hiragana_Katakana"},
    // Menu key
    {0x6E, 127, "Menu"},
    // Modifier keys themselves
    {0x3B, 29, "Control_L"},
    {0x3E, 97, "Control_R"},
    {0x38, 42, "Shift_L"},
    {0x3C, 54, "Shift_R"},
    {0x3A, 56, "Alt_L"},
    {0x3D, 100, "Alt_R"},
    {0x37, 125, "Super_L"},
    {0x36, 126, "Super_R"},
    {0x39, 58, "Caps_Lock"},
    {0x3F, 464, ""},
};

// The same table without the keysym names, for callers that iterate it.
struct PairTable {
    Pair pairs[std::size(rows)];
    constexpr PairTable()
        : pairs()
    {
        for (std::size_t i = 0; i < std::size(rows); ++i)
            pairs[i] = Pair{rows[i].mac, rows[i].evdev};
    }
};
constexpr PairTable pairTable;

const Row *byMac(quint16 mac)
{
    for (const Row &row : rows) {
        if (row.mac == mac)
            return &row;
    }
    return nullptr;
}

const Row *byEvdev(quint16 evdev)
{
    for (const Row &row : rows) {
        if (row.evdev == evdev)
            return &row;
    }
    return nullptr;
}

// X11 LockMask; xkb's Lock modifier has the same bit on Wayland.
constexpr quint32 nativeLockMask = 0x2;
// X11 and Wayland keycodes are evdev codes shifted by 8.
constexpr quint32 xkbKeycodeOffset = 8;

} // namespace

std::optional<quint16> evdevFromMac(quint16 macKeyCode)
{
    const Row *row = byMac(macKeyCode);
    return row ? std::optional<quint16>(row->evdev) : std::nullopt;
}

std::optional<quint16> macFromEvdev(quint16 evdevCode)
{
    const Row *row = byEvdev(evdevCode);
    return row ? std::optional<quint16>(row->mac) : std::nullopt;
}

QString keysymNameForEvdev(quint16 evdevCode)
{
    const Row *row = byEvdev(evdevCode);
    return row ? QString::fromLatin1(row->keysym) : QString();
}

std::optional<QKeyCombination> qtKeyForMac(quint16 macKeyCode)
{
    const Row *row = byMac(macKeyCode);
    if (!row || !*row->keysym)
        return std::nullopt;
    const char *keysym = row->keysym;
    const std::size_t length = std::strlen(keysym);
    const auto isLower = [](char c) { return c >= 'a' && c <= 'z'; };
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (length == 1 && isLower(keysym[0]))
        return QKeyCombination(Qt::Key(Qt::Key_A + (keysym[0] - 'a')));
    if (length == 1 && isDigit(keysym[0]))
        return QKeyCombination(Qt::Key(Qt::Key_0 + (keysym[0] - '0')));
    if (length >= 2 && keysym[0] == 'F' && isDigit(keysym[1])) {
        const int number = std::atoi(keysym + 1);
        if (number >= 1 && number <= 35)
            return QKeyCombination(Qt::Key(Qt::Key_F1 + number - 1));
    }
    if (length == 4 && std::strncmp(keysym, "KP_", 3) == 0 && isDigit(keysym[3]))
        return QKeyCombination(Qt::KeypadModifier, Qt::Key(Qt::Key_0 + (keysym[3] - '0')));
    struct Named {
        const char *keysym;
        Qt::Key key;
        bool keypad;
    };
    static constexpr Named named[] = {
        {"minus", Qt::Key_Minus, false},
        {"equal", Qt::Key_Equal, false},
        {"bracketleft", Qt::Key_BracketLeft, false},
        {"bracketright", Qt::Key_BracketRight, false},
        {"semicolon", Qt::Key_Semicolon, false},
        {"apostrophe", Qt::Key_Apostrophe, false},
        {"grave", Qt::Key_QuoteLeft, false},
        {"backslash", Qt::Key_Backslash, false},
        {"comma", Qt::Key_Comma, false},
        {"period", Qt::Key_Period, false},
        {"slash", Qt::Key_Slash, false},
        {"less", Qt::Key_Less, false},
        {"Return", Qt::Key_Return, false},
        {"Tab", Qt::Key_Tab, false},
        {"space", Qt::Key_Space, false},
        {"BackSpace", Qt::Key_Backspace, false},
        {"Escape", Qt::Key_Escape, false},
        {"Delete", Qt::Key_Delete, false},
        {"Insert", Qt::Key_Insert, false},
        {"Left", Qt::Key_Left, false},
        {"Right", Qt::Key_Right, false},
        {"Down", Qt::Key_Down, false},
        {"Up", Qt::Key_Up, false},
        {"Home", Qt::Key_Home, false},
        {"End", Qt::Key_End, false},
        {"Prior", Qt::Key_PageUp, false},
        {"Next", Qt::Key_PageDown, false},
        {"KP_Decimal", Qt::Key_Period, true},
        {"KP_Multiply", Qt::Key_Asterisk, true},
        {"KP_Add", Qt::Key_Plus, true},
        {"KP_Divide", Qt::Key_Slash, true},
        {"KP_Enter", Qt::Key_Enter, true},
        {"KP_Subtract", Qt::Key_Minus, true},
        {"KP_Equal", Qt::Key_Equal, true},
        {"KP_Separator", Qt::Key_Comma, true},
        {"XF86AudioRaiseVolume", Qt::Key_VolumeUp, false},
        {"XF86AudioLowerVolume", Qt::Key_VolumeDown, false},
        {"XF86AudioMute", Qt::Key_VolumeMute, false},
        {"yen", Qt::Key_yen, false},
        {"Eisu_toggle", Qt::Key_Eisu_toggle, false},
        {"Hiragana_Katakana", Qt::Key_Hiragana_Katakana, false},
        {"Menu", Qt::Key_Menu, false},
    };
    for (const Named &entry : named) {
        if (std::strcmp(keysym, entry.keysym) == 0)
            return QKeyCombination(entry.keypad ? Qt::KeypadModifier : Qt::NoModifier, entry.key);
    }
    return std::nullopt;
}

bool isModifierKey(quint16 macKeyCode)
{
    switch (macKeyCode) {
    case 0x36:
    case 0x37:
    case 0x38:
    case 0x39:
    case 0x3A:
    case 0x3B:
    case 0x3C:
    case 0x3D:
    case 0x3E:
    case 0x3F:
        return true;
    default:
        return false;
    }
}

quint64 macFlagsFromLinux(const LinuxModifiers &modifiers, bool capsLock)
{
    quint64 flags = 0;
    if (modifiers.control)
        flags |= KeyCombo::ControlFlag;
    if (modifiers.alt)
        flags |= KeyCombo::OptionFlag;
    if (modifiers.shift)
        flags |= KeyCombo::ShiftFlag;
    if (modifiers.super)
        flags |= KeyCombo::CommandFlag;
    if (capsLock)
        flags |= KeyCombo::CapsLockFlag;
    return flags;
}

LinuxModifiers linuxFromMacFlags(quint64 modifierFlags)
{
    LinuxModifiers modifiers;
    modifiers.control = modifierFlags & KeyCombo::ControlFlag;
    modifiers.alt = modifierFlags & KeyCombo::OptionFlag;
    modifiers.shift = modifierFlags & KeyCombo::ShiftFlag;
    modifiers.super = modifierFlags & KeyCombo::CommandFlag;
    return modifiers;
}

std::optional<MacKeyPress> fromKeyEvent(const QKeyEvent &event)
{
    const quint32 scanCode = event.nativeScanCode();
    if (scanCode < xkbKeycodeOffset || scanCode - xkbKeycodeOffset > 0xFFFF)
        return std::nullopt;
    const auto mac = macFromEvdev(quint16(scanCode - xkbKeycodeOffset));
    if (!mac)
        return std::nullopt;
    const Qt::KeyboardModifiers qt = event.modifiers();
    LinuxModifiers modifiers;
    modifiers.control = qt & Qt::ControlModifier;
    modifiers.alt = qt & Qt::AltModifier;
    modifiers.shift = qt & Qt::ShiftModifier;
    modifiers.super = qt & Qt::MetaModifier;
    const bool capsLock = event.nativeModifiers() & nativeLockMask;
    return MacKeyPress{*mac, macFlagsFromLinux(modifiers, capsLock)};
}

const Pair *pairsBegin()
{
    return std::begin(pairTable.pairs);
}

const Pair *pairsEnd()
{
    return std::end(pairTable.pairs);
}

} // namespace KeyMapping
