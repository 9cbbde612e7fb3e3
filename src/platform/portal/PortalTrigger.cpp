#include "platform/portal/PortalTrigger.h"

#include <QHash>
#include <QKeySequence>
#include <QRegularExpression>
#include <QStringList>

#include <optional>

namespace PortalTrigger {

namespace {

// Qt's name of a key, from its X keysym name where the two differ.
QString qtKeyName(const QString &keysym)
{
    static const QHash<QString, QString> names{
        {QStringLiteral("minus"), QStringLiteral("-")},
        {QStringLiteral("equal"), QStringLiteral("=")},
        {QStringLiteral("bracketleft"), QStringLiteral("[")},
        {QStringLiteral("bracketright"), QStringLiteral("]")},
        {QStringLiteral("semicolon"), QStringLiteral(";")},
        {QStringLiteral("apostrophe"), QStringLiteral("'")},
        {QStringLiteral("grave"), QStringLiteral("`")},
        {QStringLiteral("backslash"), QStringLiteral("\\")},
        {QStringLiteral("comma"), QStringLiteral(",")},
        {QStringLiteral("period"), QStringLiteral(".")},
        {QStringLiteral("slash"), QStringLiteral("/")},
        {QStringLiteral("less"), QStringLiteral("<")},
        {QStringLiteral("space"), QStringLiteral("Space")},
        {QStringLiteral("BackSpace"), QStringLiteral("Backspace")},
        {QStringLiteral("Escape"), QStringLiteral("Esc")},
        {QStringLiteral("Delete"), QStringLiteral("Del")},
        {QStringLiteral("Insert"), QStringLiteral("Ins")},
        {QStringLiteral("Prior"), QStringLiteral("PgUp")},
        {QStringLiteral("Next"), QStringLiteral("PgDown")},
    };
    return names.value(keysym, keysym);
}

std::optional<QKeyCombination> single(const QString &text, QKeySequence::SequenceFormat format)
{
    const QKeySequence sequence = QKeySequence::fromString(text, format);
    if (sequence.count() != 1 || sequence[0].key() == Qt::Key_unknown)
        return std::nullopt;
    return sequence[0];
}

// One combination as desktops write it: "Ctrl+Alt+K" (Qt's words, as KDE
// answers) or "<Control><Alt>k" (a GTK accelerator, as GNOME answers).
std::optional<QKeyCombination> parse(const QString &text)
{
    static const QRegularExpression accelerator(QStringLiteral("^((?:<[A-Za-z0-9_]+>)+)([^<>]+)$"));
    const QRegularExpressionMatch match = accelerator.match(text);
    if (!match.hasMatch()) {
        if (auto portable = single(text, QKeySequence::PortableText))
            return portable;
        return single(text, QKeySequence::NativeText);
    }
    Qt::KeyboardModifiers modifiers;
    static const QRegularExpression modifier(QStringLiteral("<([A-Za-z0-9_]+)>"));
    for (auto it = modifier.globalMatch(match.captured(1)); it.hasNext();) {
        const QString name = it.next().captured(1).toLower();
        if (name == u"control" || name == u"ctrl" || name == u"primary")
            modifiers |= Qt::ControlModifier;
        else if (name == u"alt" || name == u"mod1")
            modifiers |= Qt::AltModifier;
        else if (name == u"shift")
            modifiers |= Qt::ShiftModifier;
        else if (name == u"super" || name == u"meta" || name == u"logo" || name == u"mod4")
            modifiers |= Qt::MetaModifier;
        else
            return std::nullopt;
    }
    const auto key = single(qtKeyName(match.captured(2)), QKeySequence::PortableText);
    if (!key || key->keyboardModifiers() != Qt::NoModifier)
        return std::nullopt;
    return QKeyCombination(modifiers, key->key());
}

std::optional<QKeyCombination> combinationOf(const HotKeyService::Chord &chord)
{
    const auto key = single(qtKeyName(chord.keysymName), QKeySequence::PortableText);
    if (!key || key->keyboardModifiers() != Qt::NoModifier)
        return std::nullopt;
    Qt::KeyboardModifiers modifiers;
    if (chord.control)
        modifiers |= Qt::ControlModifier;
    if (chord.alt)
        modifiers |= Qt::AltModifier;
    if (chord.shift)
        modifiers |= Qt::ShiftModifier;
    if (chord.super)
        modifiers |= Qt::MetaModifier;
    return QKeyCombination(modifiers, key->key());
}

} // namespace

QString fromChord(const HotKeyService::Chord &chord)
{
    QStringList parts;
    if (chord.control)
        parts << QStringLiteral("CTRL");
    if (chord.alt)
        parts << QStringLiteral("ALT");
    if (chord.shift)
        parts << QStringLiteral("SHIFT");
    if (chord.super)
        parts << QStringLiteral("LOGO");
    parts << chord.keysymName;
    return parts.join(u'+');
}

bool describes(const QString &description, const HotKeyService::Chord &chord)
{
    const auto wanted = combinationOf(chord);
    if (!wanted)
        return false;
    // KDE lists several triggers with ", "; GNOME writes words around its
    // accelerators ("Press <Control>k"). Any one of them that is ours will do.
    static const QRegularExpression separators(QStringLiteral(",\\s+|\\s+"));
    const QStringList pieces = description.split(separators, Qt::SkipEmptyParts);
    for (const QString &piece : pieces) {
        if (parse(piece) == wanted)
            return true;
    }
    return false;
}

} // namespace PortalTrigger
