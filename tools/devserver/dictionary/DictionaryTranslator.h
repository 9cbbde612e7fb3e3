#pragma once

#include "DictionaryShelf.h"
#include "Phonetizer.h"

#include <QJsonArray>
#include <QString>
#include <QStringList>

#include <memory>

class Stemmer;

// Translation candidates from the installed FreeDict dictionaries, in the
// record the deployment answers with: `word` in the language being learnt
// (langTo), `translation` in langFrom, the word's IPA, an example pair of the
// dictionary's own (or none: never a made-up sentence) and a category from
// the part of speech.
//
// The selection may be a word of either side of the deck, so both the
// langFrom->langTo dictionary and the reversed one are asked; an inflected
// selection ("houses", "Häuser") falls back to Hunspell's base forms, then
// to the same key without accents.
class DictionaryTranslator {
public:
    static constexpr qsizetype maxCandidates = 3;

    DictionaryTranslator(const QString &dictdDir,
                         const QString &hunspellDir = QStringLiteral("/usr/share/hunspell"));
    ~DictionaryTranslator();

    QStringList pairNames() const { return m_shelf.pairNames(); }
    QStringList problems() const { return m_problems; }
    // Whether a dictionary of the pair exists in either direction.
    bool serves(const QString &langFrom, const QString &langTo) const;

    // Up to maxCandidates candidates, none when no dictionary knows the word.
    QJsonArray translate(const QString &word, const QString &langFrom, const QString &langTo);

private:
    struct Side;
    struct Collector;
    void addFrom(const Side &side, QList<FreeDictionary::Found> found, Collector *collector, bool wantVerb);
    // Base forms of a word of `language`, from Hunspell and from the dictionaries other than `asked`.
    QStringList baseForms(const QString &language, const FreeDictionary *asked, const QString &word) const;
    // The word's own entry in a dictionary from its language: where the forward
    // direction has no IPA or part of speech for a translation, the other has.
    FreeDictionary::Head headOf(const QString &language, const QString &word) const;
    QString phoneticOf(const QString &language, const QString &word, const QString &known);

    DictionaryShelf m_shelf;
    QStringList m_problems;
    std::unique_ptr<Stemmer> m_stemmer;
    Phonetizer m_phonetizer;
};
