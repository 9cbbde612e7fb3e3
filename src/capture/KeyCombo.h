#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <optional>

// A key combination in the stored model: a macOS virtual key code and the
// NSEvent modifier bits. The stored JSON, the key names and the reserved list
// are defined on that model; KeyMapping translates to and from Linux keys.
class KeyCombo {
    Q_GADGET
    Q_PROPERTY(int keyCode READ keyCodeInt CONSTANT)
    Q_PROPERTY(double modifierFlags READ modifierFlagsDouble CONSTANT)
    Q_PROPERTY(bool isReserved READ isReserved CONSTANT)

public:
    // NSEvent modifier bits.
    static constexpr quint64 CapsLockFlag = 1ull << 16;
    static constexpr quint64 ShiftFlag = 1ull << 17;
    static constexpr quint64 ControlFlag = 1ull << 18;
    static constexpr quint64 OptionFlag = 1ull << 19;
    static constexpr quint64 CommandFlag = 1ull << 20;
    // The device-independent part of a modifier mask.
    static constexpr quint64 DeviceIndependentMask = 0xFFFF0000ull;

    quint16 keyCode = 0;
    quint64 modifierFlags = 0;

    KeyCombo() = default;
    KeyCombo(quint16 code, quint64 flags)
        : keyCode(code)
        , modifierFlags(flags)
    {
    }

    friend bool operator==(const KeyCombo &, const KeyCombo &) = default;

    // What a Linux desktop shows for the combination: Qt's native text, in
    // the order KDE and GNOME use ("Ctrl+Alt+K", "Meta+Shift+Space").
    QString displayText() const;
    bool isReserved() const;
    // Whether Control, Option (Alt), Shift or Command (Super) is held. Caps
    // Lock and the other bits do not count: without one of these four, a
    // global shortcut would take a key away from every application.
    bool hasModifierKey() const;
    // The same combination without the Caps Lock bit.
    KeyCombo withoutCapsLock() const { return KeyCombo(keyCode, modifierFlags & ~CapsLockFlag); }
    static QString keyCodeString(quint16 code);

    // Stored form: compact UTF-8 JSON {"keyCode":n,"modifierFlags":n}.
    QByteArray toJson() const;
    // Strict: both members present, integral and in range; anything else is absent.
    static std::optional<KeyCombo> fromJson(const QByteArray &json);

private:
    int keyCodeInt() const { return keyCode; }
    double modifierFlagsDouble() const { return double(modifierFlags); }
};

Q_DECLARE_METATYPE(KeyCombo)
