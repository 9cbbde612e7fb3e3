#include "DictionaryTranslator.h"

#include "HeadwordKey.h"
#include "PartOfSpeech.h"
#include "Stemmer.h"
#include "TranslationIndex.h"

#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

// One direction of the deck's pair: `forward` when the dictionary goes from
// langFrom to langTo (its headwords are translations, its translations are
// the words to learn), reversed when it goes from langTo.
struct DictionaryTranslator::Side {
    const FreeDictionary *dictionary = nullptr;
    bool forward = true;
};

struct DictionaryTranslator::Collector {
    QJsonArray candidates;
    QSet<QString> seen;
    // Lemma-like cross references of the entries used, with their language; followed once.
    QList<std::pair<QString, QString>> seeAlso;
    bool full() const { return candidates.size() >= maxCandidates; }
};

namespace {
constexpr qsizetype confirmedEntries = 6;

struct Option {
    const DictSense *sense;
    const DictTranslation *translation;
};

bool isVerb(const QString &grammar)
{
    return PartOfSpeech::category(grammar, QString()) == QLatin1String("verb");
}

// The entries most worth a card first: those filed under their own headword
// (not an abbreviation or inflected form that folds to the key); those the
// other direction's dictionary confirms (its entry for the translation gives
// the headword back); a verb when the selection began with "to"; those that
// name their part of speech (a participle's entry does not); then those with
// more example pairs, as the common senses carry the examples. Ties keep the
// dictionary's order.
int usefulness(const FreeDictionary::Found &f, bool confirmed, bool wantVerb)
{
    int examples = 0;
    bool grammar = !f.entry.grammar.isEmpty();
    bool verb = isVerb(f.entry.grammar);
    for (const DictSense &s : f.entry.senses) {
        examples += int(s.examples.size());
        for (const DictTranslation &t : s.translations) {
            grammar = grammar || !t.grammar.isEmpty();
            verb = verb || isVerb(t.grammar);
        }
    }
    return (f.exactHeadword ? 10000 : 0) + (confirmed ? 1000 : 0) + (wantVerb && verb ? 500 : 0) +
           (grammar ? 200 : 0) + std::min(examples, 10) * 10;
}

// Whether `other` (the opposite direction) files `translation` with `headword` among its translations.
bool confirms(const FreeDictionary *other, const QString &translation, const QString &headword)
{
    if (!other)
        return false;
    const QByteArray wanted = HeadwordKey::indexKey(headword);
    const auto entries = other->entries(HeadwordKey::indexKey(translation), false, 8);
    for (const auto &f : entries)
        for (const DictSense &s : f.entry.senses)
            for (const DictTranslation &t : s.translations)
                if (HeadwordKey::indexKey(t.text) == wanted)
                    return true;
    return false;
}

// A sense's translations in the dictionary's order: the first of every sense, then the second, ...
QList<Option> optionsOf(const DictEntry &entry)
{
    QList<Option> out;
    for (qsizetype round = 0;; ++round) {
        bool any = false;
        for (const DictSense &s : entry.senses)
            if (round < s.translations.size()) {
                out.append(Option{&s, &s.translations.at(round)});
                any = true;
            }
        if (!any)
            return out;
    }
}

// The example pair that shows the word itself, else the sense's first one.
const DictExample *exampleFor(const DictSense &sense, const QString &word, bool wordIsTarget)
{
    for (const DictExample &e : sense.examples)
        if ((wordIsTarget ? e.target : e.source).contains(word, Qt::CaseInsensitive))
            return &e;
    return sense.examples.isEmpty() ? nullptr : &sense.examples.first();
}

bool isLemmaLike(const QString &reference, const QString &headword)
{
    const QByteArray a = HeadwordKey::folded(HeadwordKey::indexKey(reference));
    const QByteArray b = HeadwordKey::folded(HeadwordKey::indexKey(headword));
    return !a.contains(' ') && a.size() >= 3 && b.size() >= 3 && a.first(3) == b.first(3) && a != b;
}
} // namespace

DictionaryTranslator::DictionaryTranslator(const QString &dictdDir, const QString &hunspellDir)
{
    m_shelf.open(dictdDir, &m_problems);
    m_stemmer = std::make_unique<Stemmer>(m_shelf.languages(), hunspellDir);
}

DictionaryTranslator::~DictionaryTranslator() = default;

bool DictionaryTranslator::serves(const QString &langFrom, const QString &langTo) const
{
    return m_shelf.find(langFrom, langTo) || m_shelf.find(langTo, langFrom);
}

FreeDictionary::Head DictionaryTranslator::headOf(const QString &language, const QString &word) const
{
    FreeDictionary::Head head;
    for (const QString &other : m_shelf.languages())
        if (const FreeDictionary *d = m_shelf.find(language, other); d && head.ipa.isEmpty()) {
            const FreeDictionary::Head found = d->headOf(word);
            head.ipa = found.ipa;
            head.grammar = head.grammar.isEmpty() ? found.grammar : head.grammar;
        }
    return head;
}

QString DictionaryTranslator::phoneticOf(const QString &language, const QString &word, const QString &known)
{
    QString ipa = known;
    if (ipa.isEmpty())
        ipa = m_phonetizer.ipa(language, word);
    // A loanword comes with espeak-ng's "(en)" ... "(de)" language switches, which are not IPA.
    static const QRegularExpression languageSwitch(QStringLiteral("\\([a-z]{2,3}(-[a-z]+)?\\)"));
    ipa = ipa.remove(languageSwitch).simplified();
    return ipa.isEmpty() ? QString() : u'/' + ipa + u'/';
}

void DictionaryTranslator::addFrom(const Side &side, QList<FreeDictionary::Found> found, Collector *collector,
                                   bool wantVerb)
{
    const FreeDictionary *other = m_shelf.find(side.dictionary->to(), side.dictionary->from());
    QList<std::pair<int, qsizetype>> order;
    for (qsizetype i = 0; i < found.size(); ++i)
        order.append({-usefulness(found.at(i), false, wantVerb), i});
    auto byScore = [](const auto &a, const auto &b) { return a.first < b.first; };
    std::stable_sort(order.begin(), order.end(), byScore);
    // Asking the other direction costs a lookup per entry: only the leading ones, which it may reorder.
    for (qsizetype rank = 0; rank < std::min<qsizetype>(order.size(), confirmedEntries); ++rank) {
        const DictEntry &e = found.at(order.at(rank).second).entry;
        if (!e.senses.isEmpty() && !e.senses.first().translations.isEmpty() &&
            confirms(other, e.senses.first().translations.first().text, e.headword))
            order[rank].first = -usefulness(found.at(order.at(rank).second), true, wantVerb);
    }
    std::stable_sort(order.begin(), order.end(), byScore);
    QList<FreeDictionary::Found> ranked;
    for (const auto &[score, i] : std::as_const(order))
        ranked.append(found.at(i));
    found = ranked;
    QList<QList<Option>> options;
    for (const auto &f : found) {
        options.append(optionsOf(f.entry));
        for (const QString &reference : f.entry.seeAlso) {
            const std::pair<QString, QString> lemma{side.dictionary->from(), reference};
            if (isLemmaLike(reference, f.entry.headword) && !collector->seeAlso.contains(lemma))
                collector->seeAlso.append(lemma);
        }
    }
    // The best translation of every entry before the second-best of any.
    for (qsizetype round = 0; !collector->full(); ++round) {
        bool any = false;
        for (qsizetype i = 0; i < found.size() && !collector->full(); ++i) {
            if (round >= options.at(i).size())
                continue;
            any = true;
            const DictEntry &entry = found.at(i).entry;
            const Option &option = options.at(i).at(round);
            const QString &text = option.translation->text;
            const QString word = side.forward ? text : entry.headword;
            const QString translation = side.forward ? entry.headword : text;
            const QString key = word + u'\x1f' + translation;
            if (collector->seen.contains(key))
                continue;
            collector->seen.insert(key);
            const DictExample *example = exampleFor(*option.sense, word, side.forward);
            const QString grammar = side.forward ? option.translation->grammar : entry.grammar;
            const QString fallbackGrammar = side.forward ? entry.grammar : option.translation->grammar;
            const QString language = side.forward ? side.dictionary->to() : side.dictionary->from();
            const FreeDictionary::Head head = side.forward ? headOf(language, word) : FreeDictionary::Head{};
            collector->candidates.append(QJsonObject{
                {"word", word},
                {"translation", translation},
                {"phonetic", phoneticOf(language, word, side.forward ? head.ipa : entry.ipa)},
                {"exampleSentence", example ? (side.forward ? example->target : example->source) : QString()},
                {"exampleSentenceTranslation",
                 example ? (side.forward ? example->source : example->target) : QString()},
                {"category",
                 PartOfSpeech::category(!grammar.isEmpty()
                                            ? grammar
                                            : (!head.grammar.isEmpty() ? head.grammar : fallbackGrammar),
                                        word)}});
        }
        if (!any)
            break;
    }
}

// Hunspell's stems, then the headwords that another dictionary of the same
// language lists the word as a form of: Hunspell's affix rules know "houses"
// but not "went", which English-German files under "go".
QStringList DictionaryTranslator::baseForms(const QString &language, const FreeDictionary *asked,
                                            const QString &word) const
{
    QStringList out = m_stemmer->stems(language, word);
    for (const QString &other : m_shelf.languages())
        if (const FreeDictionary *sibling = m_shelf.find(language, other); sibling && sibling != asked)
            for (const QString &lemma : sibling->lemmasOf(word))
                if (!out.contains(lemma, Qt::CaseInsensitive))
                    out.append(lemma);
    return out;
}

QJsonArray DictionaryTranslator::translate(const QString &word, const QString &langFrom,
                                           const QString &langTo)
{
    QList<Side> sides;
    if (const FreeDictionary *d = m_shelf.find(langFrom, langTo))
        sides.append(Side{d, true});
    if (const FreeDictionary *d = m_shelf.find(langTo, langFrom))
        sides.append(Side{d, false});
    Collector collector;
    const QString text = word.simplified();
    if (sides.isEmpty() || text.isEmpty() || text.size() > 200)
        return collector.candidates;

    // The selection as written; an English verb also without its "to".
    auto spellings = [&](const QString &language) {
        QStringList out{text};
        if (language == QLatin1String("en") && text.startsWith(QStringLiteral("to "), Qt::CaseInsensitive))
            out.append(text.sliced(3));
        return out;
    };
    const bool wantVerb = text.startsWith(QStringLiteral("to "), Qt::CaseInsensitive);
    enum class Level { AsWritten, Stemmed, Translations, WithoutAccents };
    for (Level level : {Level::AsWritten, Level::Stemmed, Level::Translations, Level::WithoutAccents}) {
        for (const Side &side : sides) {
            const FreeDictionary *d = side.dictionary;
            QList<FreeDictionary::Found> found;
            switch (level) {
            case Level::AsWritten:
                for (const QString &spelling : spellings(d->from()))
                    found += d->entries(HeadwordKey::indexKey(spelling));
                break;
            case Level::Stemmed:
                for (const QString &spelling : spellings(d->from()))
                    for (const QString &stem : baseForms(d->from(), d, spelling))
                        found += d->entries(HeadwordKey::indexKey(stem));
                break;
            case Level::Translations:
                // The selection as one of the dictionary's translations, in its to-language.
                for (const QString &spelling : spellings(d->to()))
                    for (const QString &form : QStringList{spelling} + baseForms(d->to(), nullptr, spelling))
                        found += d->entriesTranslatedAs(TranslationIndex::keyOf(form));
                break;
            case Level::WithoutAccents:
                // A word spelt right is a real word this dictionary lacks, not one typed without accents.
                for (const QString &spelling : spellings(d->from()))
                    if (!m_stemmer->knows(d->from(), spelling))
                        found += d->entries(HeadwordKey::indexKey(spelling), true);
                break;
            }
            addFrom(side, found, &collector, wantVerb);
        }
        if (!collector.candidates.isEmpty())
            break;
    }
    // "houses" is filed with its plural's translation and a reference to
    // "house": follow such references once (not theirs in turn).
    const auto references = collector.seeAlso;
    for (const auto &[language, reference] : references)
        for (const Side &side : sides)
            if (!collector.full() && side.dictionary->from() == language)
                addFrom(side, side.dictionary->entries(HeadwordKey::indexKey(reference)), &collector, false);
    m_shelf.releasePages();
    return collector.candidates;
}
