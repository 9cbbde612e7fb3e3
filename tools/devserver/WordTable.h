#pragma once

#include <QJsonArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A small built-in dictionary standing in for the deployment's translation
// service: common words and phrases in the eleven languages of the decks.
class WordTable {
public:
    struct Form {
        QString text;
        QString ipa;
    };
    struct Entry {
        QString category;
        QList<QList<Form>> forms; // per language, in languages() order; first form preferred
    };

    static const WordTable &shared();
    static const QStringList &languages();

    // Candidates (one to three) whose word is in langTo and whose translation
    // is in langFrom, for a word given in either language; nullopt if unknown.
    // Throws nothing; an unsupported language yields an error text.
    struct Lookup {
        QJsonArray candidates;
        QString error;
        bool unknownWord = false; // the error says only that no entry has the word
    };
    Lookup translate(const QString &word, const QString &langFrom, const QString &langTo) const;

    qsizetype entryCount() const { return m_entries.size(); }

private:
    WordTable();
    static QString fold(const QString &text);
    static QString exampleSentence(const QString &lang, const QString &word);

    QList<Entry> m_entries;
};
