#include "DictionaryShelf.h"

#include <QDir>
#include <QHash>
#include <QRegularExpression>

namespace {
// FreeDict names languages by ISO 639-3; the decks by ISO 639-1.
QString deckCode(const QString &freedictCode)
{
    static const QHash<QString, QString> codes = {
        {QStringLiteral("eng"), QStringLiteral("en")}, {QStringLiteral("deu"), QStringLiteral("de")},
        {QStringLiteral("fra"), QStringLiteral("fr")}, {QStringLiteral("spa"), QStringLiteral("es")},
        {QStringLiteral("ita"), QStringLiteral("it")}, {QStringLiteral("por"), QStringLiteral("pt")},
        {QStringLiteral("nld"), QStringLiteral("nl")}, {QStringLiteral("pol"), QStringLiteral("pl")},
        {QStringLiteral("rus"), QStringLiteral("ru")}, {QStringLiteral("swe"), QStringLiteral("sv")},
        {QStringLiteral("hun"), QStringLiteral("hu")},
    };
    return codes.value(freedictCode);
}
} // namespace

void DictionaryShelf::open(const QString &dir, QStringList *problems)
{
    static const QRegularExpression pattern(QStringLiteral("^freedict-([a-z]{3})-([a-z]{3})\\.index$"));
    const QDir folder(dir);
    const QStringList names = folder.entryList({QStringLiteral("freedict-*.index")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const auto match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        const QString from = deckCode(match.captured(1));
        const QString to = deckCode(match.captured(2));
        if (from.isEmpty() || to.isEmpty() || find(from, to))
            continue;
        const QString base = folder.filePath(name.chopped(int(qstrlen(".index"))));
        auto dictionary =
            std::make_unique<FreeDictionary>(match.captured(1) + u'-' + match.captured(2), from, to);
        QString error;
        if (!dictionary->open(base + QStringLiteral(".index"), base + QStringLiteral(".dict.dz"), &error)) {
            problems->append(error);
            continue;
        }
        m_dictionaries.push_back(std::move(dictionary));
    }
}

const FreeDictionary *DictionaryShelf::find(const QString &from, const QString &to) const
{
    for (const auto &d : m_dictionaries)
        if (d->from() == from && d->to() == to)
            return d.get();
    return nullptr;
}

QStringList DictionaryShelf::pairNames() const
{
    QStringList out;
    for (const auto &d : m_dictionaries)
        out.append(d->from() + u'-' + d->to());
    return out;
}

void DictionaryShelf::releasePages() const
{
    for (const auto &d : m_dictionaries)
        d->releasePages();
}

QStringList DictionaryShelf::languages() const
{
    QStringList out;
    for (const auto &d : m_dictionaries)
        for (const QString &code : {d->from(), d->to()})
            if (!out.contains(code))
                out.append(code);
    return out;
}
