// Bytes of a dictionary file as the local deployment reads them: the text of
// one entry through the entry parser, and each line through the index line
// reader, as a damaged or foreign dictd file would present them.

#include "FuzzEntry.h"

#include "EntryParser.h"
#include "HeadwordKey.h"
#include "IndexLine.h"

#include <QByteArray>

namespace {

void checkEntry(const DictEntry &entry)
{
    fuzzCheck(!entry.headword.isEmpty(), "an entry has a headword");
    fuzzCheck(!entry.ipa.contains(u'/') && !entry.ipa.contains(u'\n'),
              "the IPA is what lies between slashes");
    for (const DictSense &sense : entry.senses) {
        for (const DictTranslation &t : sense.translations) {
            fuzzCheck(!t.text.isEmpty() && t.text == t.text.simplified(), "a translation is trimmed text");
            fuzzCheck(!t.text.contains(u'<') && !t.text.contains(u'['), "grammar and labels are kept apart");
            fuzzCheck(!t.text.contains(u'\n'), "a translation is one line");
        }
        for (const DictExample &e : sense.examples)
            fuzzCheck(!e.source.isEmpty() && !e.source.contains(u'\n'), "an example has a one-line source");
    }
    for (const QString &reference : entry.seeAlso)
        fuzzCheck(!reference.isEmpty() && !reference.contains(u'}'), "a reference is the text inside braces");
    // Keys made from parsed text are what the index lookup gets.
    const QByteArray key = HeadwordKey::indexKey(entry.headword);
    fuzzCheck(!key.contains('\t') && !key.contains('\n'), "a key never spans index fields");
    (void)HeadwordKey::folded(key);
}

void checkIndexLine(QByteArrayView line)
{
    const std::optional<IndexLine> parsed = IndexLine::parse(line);
    if (!parsed)
        return;
    fuzzCheck(!parsed->headword.isEmpty() && !parsed->headword.contains('\t'),
              "the headword is the first field");
    fuzzCheck(parsed->offset < (quint64(1) << 48) && parsed->length < (quint64(1) << 48),
              "offsets and lengths fit in eight digits");
    fuzzCheck(line.count('\t') == 2, "an index line has exactly three fields");
}

} // namespace

void fuzzOne(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const std::optional<DictEntry> entry = EntryParser::parse(bytes))
        checkEntry(*entry);
    for (qsizetype start = 0; start <= bytes.size();) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        checkIndexLine(QByteArrayView(bytes).sliced(start, end - start));
        start = end + 1;
    }
}
