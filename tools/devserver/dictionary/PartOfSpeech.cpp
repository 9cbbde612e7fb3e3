#include "PartOfSpeech.h"

#include <QHash>
#include <QStringList>

QString PartOfSpeech::category(const QString &grammar, const QString &word)
{
    static const QHash<QString, QString> names = {
        {QStringLiteral("n"), QStringLiteral("noun")},
        {QStringLiteral("noun"), QStringLiteral("noun")},
        {QStringLiteral("masc"), QStringLiteral("noun")},
        {QStringLiteral("fem"), QStringLiteral("noun")},
        {QStringLiteral("neut"), QStringLiteral("noun")},
        {QStringLiteral("pl"), QStringLiteral("noun")},
        {QStringLiteral("sg"), QStringLiteral("noun")},
        {QStringLiteral("v"), QStringLiteral("verb")},
        {QStringLiteral("vi"), QStringLiteral("verb")},
        {QStringLiteral("vt"), QStringLiteral("verb")},
        {QStringLiteral("verb"), QStringLiteral("verb")},
        {QStringLiteral("adj"), QStringLiteral("adjective")},
        {QStringLiteral("adv"), QStringLiteral("adverb")},
        {QStringLiteral("prep"), QStringLiteral("preposition")},
        {QStringLiteral("pron"), QStringLiteral("pronoun")},
        {QStringLiteral("conj"), QStringLiteral("conjunction")},
        {QStringLiteral("art"), QStringLiteral("article")},
        {QStringLiteral("interj"), QStringLiteral("interjection")},
        {QStringLiteral("num"), QStringLiteral("numeral")},
    };
    // The first note that names a part of speech wins: "v, intr" is a verb, "n, fem" a noun.
    for (const QString &part : grammar.split(u',', Qt::SkipEmptyParts)) {
        const QString name = names.value(part.trimmed().toLower());
        if (!name.isEmpty())
            return name;
    }
    return word.simplified().contains(u' ') ? QStringLiteral("phrase") : QStringLiteral("word");
}
