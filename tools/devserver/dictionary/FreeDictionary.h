#pragma once

#include "DictEntry.h"
#include "DictIndex.h"
#include "DictZipReader.h"

#include <QString>

#include <future>
#include <memory>

class TranslationIndex;

// One installed FreeDict pair (freedict-eng-deu.index and .dict.dz): its
// entries by index key, read straight from the files.
class FreeDictionary {
public:
    struct Found {
        DictEntry entry;
        // The entry's own headword has the key (not an inflected form or abbreviation).
        bool exactHeadword = false;
    };

    // name: "eng-deu"; from/to: the two-letter codes of the decks.
    FreeDictionary(QString name, QString from, QString to);
    ~FreeDictionary();

    bool open(const QString &indexPath, const QString &dataPath, QString *error);

    const QString &name() const { return m_name; }
    const QString &from() const { return m_from; }
    const QString &to() const { return m_to; }

    // The entries filed under `key`, each read and parsed once (one index line
    // per entry; duplicates of the same text are dropped). Unreadable entries
    // are skipped. At most `limit` entries: "be" is also the key of
    // abbreviations ("b.e." of "bill of exchange"), far down the list.
    QList<Found> entries(QByteArrayView key, bool foldAccents = false, qsizetype limit = 60) const;
    // Headwords whose head line lists `word` as one of their inflected forms
    // ("ran" -> "run"): base forms for the other dictionaries of the language.
    QStringList lemmasOf(const QString &word) const;
    // Entries with `key` among their translations, each with only those
    // translations: how a small dictionary answers for a word of its
    // to-language that the opposite dictionary lacks ("song": chanson). Empty
    // for a large dictionary, whose opposite is complete enough.
    QList<Found> entriesTranslatedAs(QByteArrayView key) const;
    void releasePages() const { m_index.releasePages(); }
    // The IPA and grammar note of `word`'s own entries (empty when none has one).
    struct Head {
        QString ipa;
        QString grammar;
    };
    Head headOf(const QString &word) const;

private:
    QString m_name;
    QString m_from;
    QString m_to;
    DictIndex m_index;
    DictZipReader m_data;
    std::shared_future<std::shared_ptr<const TranslationIndex>> m_translations;
};
