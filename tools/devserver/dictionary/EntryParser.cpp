#include "EntryParser.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace {
constexpr qsizetype maxLines = 2000;

// The text inside the last <...> of `text` that is not inside parentheses.
QString lastAngle(const QString &text)
{
    int depth = 0;
    QString found;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'(')
            ++depth;
        else if (c == u')')
            depth = std::max(0, depth - 1);
        else if (c == u'<' && depth == 0) {
            const qsizetype end = text.indexOf(u'>', i);
            if (end < 0)
                break;
            found = text.sliced(i + 1, end - i - 1).trimmed();
            i = end;
        }
    }
    return found;
}

// Removes every <...> and [...] group: grammar and field labels are kept apart.
QString withoutGroups(const QString &text)
{
    QString out;
    QChar closing;
    for (QChar c : text) {
        if (!closing.isNull()) {
            if (c == closing)
                closing = QChar();
            continue;
        }
        if (c == u'<')
            closing = u'>';
        else if (c == u'[')
            closing = u']';
        else
            out.append(c);
    }
    return out.simplified();
}

void parseHeadLine(const QString &line, DictEntry *entry)
{
    const qsizetype slash = line.indexOf(QStringLiteral(" /"));
    const qsizetype angle = line.indexOf(QStringLiteral(" <"));
    qsizetype end = line.size();
    if (slash >= 0)
        end = slash;
    if (angle >= 0 && angle < end)
        end = angle;
    entry->headword = line.first(end).trimmed();
    if (slash >= 0) {
        const qsizetype close = line.indexOf(u'/', slash + 2);
        if (close > slash + 2)
            entry->ipa = line.sliced(slash + 2, close - slash - 2).trimmed();
    }
    entry->grammar = lastAngle(line.sliced(end));
    // "(ran /ɹˈan/ <>, run /ɹˈʌn/ <>)": each form is written with its IPA.
    for (qsizetype open = line.indexOf(u'(', end); open >= 0; open = line.indexOf(u'(', open + 1)) {
        const qsizetype close = line.indexOf(u')', open);
        if (close < 0)
            break;
        for (const QString &item : line.sliced(open + 1, close - open - 1).split(u',')) {
            const qsizetype ipa = item.indexOf(QStringLiteral(" /"));
            if (ipa > 0 && !item.first(ipa).trimmed().isEmpty())
                entry->forms.append(item.first(ipa).trimmed());
        }
        open = close;
    }
}

// `"source"  - target` (the dash may be missing when a dictionary gives only the source).
std::optional<DictExample> parseExample(const QString &trimmed)
{
    const qsizetype close = trimmed.indexOf(u'"', 1);
    if (close < 0)
        return std::nullopt;
    DictExample example{trimmed.sliced(1, close - 1).trimmed(), {}};
    QString rest = trimmed.sliced(close + 1).trimmed();
    if (rest.startsWith(u'-'))
        example.target = rest.sliced(1).trimmed();
    if (example.source.isEmpty())
        return std::nullopt;
    return example;
}

QStringList braced(const QString &text)
{
    QStringList out;
    for (qsizetype i = text.indexOf(u'{'); i >= 0; i = text.indexOf(u'{', i + 1)) {
        const qsizetype end = text.indexOf(u'}', i);
        if (end < 0)
            break;
        const QString item = text.sliced(i + 1, end - i - 1).trimmed();
        if (!item.isEmpty())
            out.append(item);
        i = end;
    }
    return out;
}

bool isLabelLine(const QString &trimmed)
{
    static const QRegularExpression label(QStringLiteral("^(Note|Synonyms?|Antonyms?|Usage|Also):"));
    return label.match(trimmed).hasMatch();
}
} // namespace

QList<DictTranslation> EntryParser::splitTranslations(const QString &line)
{
    QList<DictTranslation> out;
    int depth = 0;
    qsizetype start = 0;
    auto flush = [&](qsizetype end) {
        const QString item = line.sliced(start, end - start);
        const QString text = withoutGroups(item);
        if (!text.isEmpty())
            out.append(DictTranslation{text, lastAngle(item)});
        start = end + 1;
    };
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == u'(' || c == u'<' || c == u'[')
            ++depth;
        else if ((c == u')' || c == u'>' || c == u']') && depth > 0)
            --depth;
        else if (c == u',' && depth == 0)
            flush(i);
    }
    flush(line.size());
    // "laufen, rennen <v, intr>": the grammar written after the last item is the group's.
    QString grammar;
    for (qsizetype i = out.size() - 1; i >= 0; --i) {
        if (!out.at(i).grammar.isEmpty())
            grammar = out.at(i).grammar;
        else
            out[i].grammar = grammar;
    }
    return out;
}

std::optional<DictEntry> EntryParser::parse(QByteArrayView utf8)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(utf8);
    if (decoder.hasError() || text.contains(QChar(0)))
        return std::nullopt;
    const QStringList lines = text.split(u'\n');
    if (lines.isEmpty() || lines.size() > maxLines)
        return std::nullopt;

    DictEntry entry;
    parseHeadLine(lines.first().trimmed(), &entry);
    if (entry.headword.isEmpty())
        return std::nullopt;

    static const QRegularExpression numbered(QStringLiteral("^\\d{1,3}\\.\\s+"));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString trimmed = lines.at(i).trimmed();
        if (trimmed.isEmpty() || isLabelLine(trimmed))
            continue;
        if (trimmed.startsWith(QStringLiteral("see:"))) {
            entry.seeAlso.append(braced(trimmed));
            continue;
        }
        if (trimmed.startsWith(u'"')) {
            if (const auto example = parseExample(trimmed)) {
                if (entry.senses.isEmpty())
                    entry.senses.append(DictSense{});
                entry.senses.last().examples.append(*example);
            }
            continue;
        }
        QString translations = trimmed;
        if (const auto match = numbered.match(trimmed); match.hasMatch())
            translations = trimmed.sliced(match.capturedLength());
        DictSense sense;
        sense.translations = splitTranslations(translations);
        if (!sense.translations.isEmpty())
            entry.senses.append(sense);
    }
    return entry;
}
