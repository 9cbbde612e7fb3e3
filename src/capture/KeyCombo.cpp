#include "capture/KeyCombo.h"

#include "capture/KeyMapping.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QKeySequence>

#include <cmath>

namespace {

struct KeyName {
    quint16 code;
    const char16_t *name;
};

// Labels printed on a US keyboard, by macOS virtual key code.
constexpr KeyName keyNames[] = {
    {0, u"A"},        {1, u"S"},        {2, u"D"},        {3, u"F"},        {4, u"H"},      {5, u"G"},
    {6, u"Z"},        {7, u"X"},        {8, u"C"},        {9, u"V"},        {11, u"B"},     {12, u"Q"},
    {13, u"W"},       {14, u"E"},       {15, u"R"},       {16, u"Y"},       {17, u"T"},     {31, u"O"},
    {32, u"U"},       {34, u"I"},       {35, u"P"},       {37, u"L"},       {38, u"J"},     {40, u"K"},
    {45, u"N"},       {46, u"M"},       {18, u"1"},       {19, u"2"},       {20, u"3"},     {21, u"4"},
    {22, u"6"},       {23, u"5"},       {25, u"9"},       {26, u"7"},       {28, u"8"},     {29, u"0"},
    {24, u"="},       {27, u"-"},       {36, u"\u21A9"},  {48, u"\u21E5"},  {49, u"Space"}, {51, u"\u232B"},
    {122, u"F1"},     {120, u"F2"},     {99, u"F3"},      {118, u"F4"},     {96, u"F5"},    {97, u"F6"},
    {98, u"F7"},      {100, u"F8"},     {101, u"F9"},     {109, u"F10"},    {103, u"F11"},  {111, u"F12"},
    {123, u"\u2190"}, {124, u"\u2192"}, {125, u"\u2193"}, {126, u"\u2191"},
};
static_assert(std::size(keyNames) == 58);

struct Reserved {
    quint16 code;
    quint64 modifiers;
};

constexpr Reserved reservedCombos[] = {
    {12, KeyCombo::CommandFlag},
    {13, KeyCombo::CommandFlag},
    {46, KeyCombo::CommandFlag},
    {4, KeyCombo::CommandFlag},
    {4, KeyCombo::OptionFlag | KeyCombo::CommandFlag},
    {48, KeyCombo::CommandFlag},
    {49, KeyCombo::CommandFlag},
    {50, KeyCombo::CommandFlag},
    {3, KeyCombo::CommandFlag},
    {6, KeyCombo::CommandFlag},
    {7, KeyCombo::CommandFlag},
    {8, KeyCombo::CommandFlag},
    {9, KeyCombo::CommandFlag},
    {0, KeyCombo::CommandFlag},
};

// JSON numbers arrive as doubles or 64-bit integers; accept only exact
// non-negative integers up to `max`.
std::optional<quint64> unsignedMember(const QJsonObject &object, QLatin1String name, quint64 max,
                                      const QByteArray &source)
{
    const QJsonValue value = object.value(name);
    if (!value.isDouble())
        return std::nullopt;
    const qint64 asInteger = value.toInteger(-1);
    if (asInteger >= 0)
        return quint64(asInteger) <= max ? std::optional<quint64>(quint64(asInteger)) : std::nullopt;
    // Beyond the signed range the parser keeps a double; take it only when it
    // is a whole number inside the unsigned range that the text spells out
    // exactly (a double rounds 9223372036854775809 to ...808, another combination).
    const double d = value.toDouble();
    if (!(d >= 9223372036854775808.0 && d < 18446744073709551616.0) || std::trunc(d) != d)
        return std::nullopt;
    const quint64 big = quint64(d);
    if (!source.contains(QByteArray::number(big)))
        return std::nullopt;
    return big <= max ? std::optional<quint64>(big) : std::nullopt;
}

} // namespace

QString KeyCombo::displayText() const
{
    Qt::KeyboardModifiers modifiers;
    if (modifierFlags & ControlFlag)
        modifiers |= Qt::ControlModifier;
    if (modifierFlags & OptionFlag)
        modifiers |= Qt::AltModifier;
    if (modifierFlags & ShiftFlag)
        modifiers |= Qt::ShiftModifier;
    if (modifierFlags & CommandFlag)
        modifiers |= Qt::MetaModifier;
    if (const auto key = KeyMapping::qtKeyForMac(keyCode)) {
        const QKeyCombination combination(modifiers | key->keyboardModifiers(), key->key());
        return QKeySequence(combination).toString(QKeySequence::NativeText);
    }
    // A key Linux has no name for: the modifiers' text with the stored name.
    const QString withPlaceholder =
        QKeySequence(QKeyCombination(modifiers, Qt::Key_A)).toString(QKeySequence::NativeText);
    return withPlaceholder.chopped(1) + keyCodeString(keyCode);
}

bool KeyCombo::hasModifierKey() const
{
    return modifierFlags & (ControlFlag | OptionFlag | ShiftFlag | CommandFlag);
}

bool KeyCombo::isReserved() const
{
    const quint64 independent = modifierFlags & DeviceIndependentMask;
    for (const Reserved &row : reservedCombos) {
        if (row.code == keyCode && row.modifiers == independent)
            return true;
    }
    return false;
}

QString KeyCombo::keyCodeString(quint16 code)
{
    for (const KeyName &entry : keyNames) {
        if (entry.code == code)
            return QString::fromUtf16(entry.name);
    }
    return u'(' + QString::number(code) + u')';
}

QByteArray KeyCombo::toJson() const
{
    // Written by hand: QJsonValue cannot hold unsigned 64-bit values exactly.
    return "{\"keyCode\":" + QByteArray::number(keyCode) +
           ",\"modifierFlags\":" + QByteArray::number(modifierFlags) + '}';
}

std::optional<KeyCombo> KeyCombo::fromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const auto code = unsignedMember(object, QLatin1String("keyCode"), 0xFFFF, json);
    const auto flags = unsignedMember(object, QLatin1String("modifierFlags"), ~quint64(0), json);
    if (!code || !flags)
        return std::nullopt;
    return KeyCombo(quint16(*code), *flags);
}
