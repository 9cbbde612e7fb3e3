#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <future>
#include <memory>

class Hunspell;

// The base forms Hunspell finds for an inflected word ("houses" -> "house",
// "Häuser" -> "Haus", "maisons" -> "maison"), from Debian's hunspell-xx
// dictionaries. Loading one takes a tenth of a second or more, so all start
// loading on a worker thread when the stemmer is made, and a first question
// waits only for its own language.
class Stemmer {
public:
    // languages: two-letter codes; dictionaryDir: where the .aff/.dic files are.
    Stemmer(const QStringList &languages,
            const QString &dictionaryDir = QStringLiteral("/usr/share/hunspell"));
    ~Stemmer();

    // Base forms other than the word itself, most likely first; empty when
    // the language has no Hunspell dictionary installed.
    QStringList stems(const QString &language, const QString &word) const;
    // Whether the word is spelt right in the language (false when it has no dictionary).
    bool knows(const QString &language, const QString &word) const;
    QStringList languages() const;

private:
    struct Loaded;
    QHash<QString, std::shared_future<std::shared_ptr<Loaded>>> m_loading;
};
