#pragma once

#include "FreeDictionary.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

// The FreeDict pairs installed in one dictd folder (freedict-<from>-<to>.index
// with its .dict.dz), for the languages the decks use.
class DictionaryShelf {
public:
    // Opens every pair found; a pair whose files cannot be read is reported in
    // `problems` and left out. A missing folder is an empty shelf.
    void open(const QString &dir, QStringList *problems);

    // The dictionary from `from` to `to` (two-letter codes), or nullptr.
    const FreeDictionary *find(const QString &from, const QString &to) const;
    // "en-de, de-en, ...", in the order opened.
    QStringList pairNames() const;
    QStringList languages() const;
    void releasePages() const;
    bool isEmpty() const { return m_dictionaries.empty(); }

private:
    std::vector<std::unique_ptr<FreeDictionary>> m_dictionaries;
};
