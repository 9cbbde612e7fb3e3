#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One entry of a FreeDict dictionary as the parser reads it.
struct DictTranslation {
    QString text;
    QString grammar; // part of speech and gender as the dictionary writes them: "neut", "v, intr"
};

struct DictExample {
    QString source; // in the dictionary's from-language
    QString target;
};

struct DictSense {
    QList<DictTranslation> translations;
    QList<DictExample> examples;
};

struct DictEntry {
    QString headword;
    QString ipa; // without the slashes; empty when the dictionary has none
    QString grammar;
    QStringList forms; // inflected forms the head line lists: "run (ran /ɹˈan/ <>, run /ɹˈʌn/ <>)"
    QList<DictSense> senses;
    QStringList seeAlso;
};
