#include "TranslationIndex.h"

#include "DictIndex.h"
#include "DictZipReader.h"
#include "EntryParser.h"
#include "HeadwordKey.h"

std::unique_ptr<TranslationIndex> TranslationIndex::build(const DictIndex &index, const QString &dataPath)
{
    auto out = std::make_unique<TranslationIndex>();
    DictZipReader data;
    QString error;
    if (!data.open(dataPath, &error))
        return out;
    index.forEachLocation([&](const DictIndex::Location &at) {
        if (at.headword.startsWith("00database"))
            return;
        const auto text = data.read(at.offset, at.length, &error);
        const auto entry = text ? EntryParser::parse(*text) : std::nullopt;
        if (!entry)
            return;
        for (const DictSense &sense : entry->senses)
            for (const DictTranslation &t : sense.translations) {
                const QByteArray key = keyOf(t.text);
                if (key.isEmpty())
                    continue;
                auto &list = out->m_entries[key];
                if (!list.contains(std::pair{at.offset, at.length}))
                    list.append({at.offset, at.length});
            }
    });
    return out;
}

QByteArray TranslationIndex::keyOf(const QString &translation)
{
    const QByteArray key = HeadwordKey::indexKey(translation);
    return key.startsWith("to ") ? key.sliced(3) : key;
}

QList<std::pair<quint64, quint64>> TranslationIndex::entriesWith(QByteArrayView translationKey) const
{
    return m_entries.value(translationKey.toByteArray());
}
