#include "FreeDictionary.h"

#include "EntryParser.h"
#include "HeadwordKey.h"
#include "TranslationIndex.h"

#include <QFileInfo>

#include <QSet>

FreeDictionary::FreeDictionary(QString name, QString from, QString to)
    : m_name(std::move(name))
    , m_from(std::move(from))
    , m_to(std::move(to))
{
}

FreeDictionary::~FreeDictionary() = default;

bool FreeDictionary::open(const QString &indexPath, const QString &dataPath, QString *error)
{
    if (!m_index.open(indexPath, error) || !m_data.open(dataPath, error))
        return false;
    if (QFileInfo(dataPath).size() <= TranslationIndex::maxCompressedSize)
        m_translations =
            std::async(std::launch::async, [this, dataPath] {
                return std::shared_ptr<const TranslationIndex>(TranslationIndex::build(m_index, dataPath));
            }).share();
    return true;
}

QList<FreeDictionary::Found> FreeDictionary::entriesTranslatedAs(QByteArrayView key) const
{
    QList<Found> out;
    if (!m_translations.valid() || key.isEmpty())
        return out;
    const std::shared_ptr<const TranslationIndex> &translations = m_translations.get();
    QSet<std::pair<quint64, quint64>> seen;
    for (const auto &[offset, length] : translations->entriesWith(key)) {
        if (seen.contains({offset, length}))
            continue;
        seen.insert({offset, length});
        QString error;
        const auto text = m_data.read(offset, length, &error);
        auto entry = text ? EntryParser::parse(*text) : std::nullopt;
        if (!entry)
            continue;
        for (DictSense &sense : entry->senses)
            sense.translations.removeIf(
                [&](const DictTranslation &t) { return TranslationIndex::keyOf(t.text) != key; });
        entry->senses.removeIf([](const DictSense &s) { return s.translations.isEmpty(); });
        if (!entry->senses.isEmpty())
            out.append(Found{std::move(*entry), true});
    }
    return out;
}

QList<FreeDictionary::Found> FreeDictionary::entries(QByteArrayView key, bool foldAccents,
                                                     qsizetype limit) const
{
    QList<Found> out;
    const auto locations = foldAccents ? m_index.findFolded(key) : m_index.find(key);
    QSet<std::pair<quint64, quint64>> seen;
    for (const DictIndex::Location &at : locations) {
        if (out.size() >= limit)
            break;
        // dictfmt files the dictionary's own description under "00-database-..." headwords.
        if (seen.contains({at.offset, at.length}) || at.headword.startsWith("00database"))
            continue;
        seen.insert({at.offset, at.length});
        QString error;
        const auto text = m_data.read(at.offset, at.length, &error);
        if (!text)
            continue;
        auto entry = EntryParser::parse(*text);
        if (!entry)
            continue;
        const bool exact = HeadwordKey::indexKey(entry->headword) == at.headword;
        out.append(Found{std::move(*entry), exact});
    }
    return out;
}

QStringList FreeDictionary::lemmasOf(const QString &word) const
{
    const QByteArray key = HeadwordKey::indexKey(word);
    QStringList out;
    for (const Found &f : entries(key, false, 12)) {
        if (f.exactHeadword || out.contains(f.entry.headword))
            continue;
        for (const QString &form : f.entry.forms)
            if (HeadwordKey::indexKey(form) == key) {
                out.append(f.entry.headword);
                break;
            }
    }
    return out;
}

FreeDictionary::Head FreeDictionary::headOf(const QString &word) const
{
    const QByteArray key = HeadwordKey::indexKey(word);
    const auto locations = m_index.find(key);
    Head head;
    for (const DictIndex::Location &at : locations.first(std::min<qsizetype>(locations.size(), 4))) {
        QString error;
        const auto text = m_data.read(at.offset, at.length, &error);
        const auto entry = text ? EntryParser::parse(*text) : std::nullopt;
        if (!entry || HeadwordKey::indexKey(entry->headword) != key)
            continue;
        if (head.ipa.isEmpty())
            head.ipa = entry->ipa;
        if (head.grammar.isEmpty())
            head.grammar = entry->grammar;
        if (!head.ipa.isEmpty() && !head.grammar.isEmpty())
            break;
    }
    return head;
}
