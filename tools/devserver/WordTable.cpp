#include "WordTable.h"

#include <QJsonObject>
#include <QSet>

extern const char *const vocartaDevWordTableData;

namespace {
constexpr int maxCandidates = 3;
}

const WordTable &WordTable::shared()
{
    static const WordTable table;
    return table;
}

const QStringList &WordTable::languages()
{
    static const QStringList codes = {QStringLiteral("en"), QStringLiteral("hu"), QStringLiteral("sv"),
                                      QStringLiteral("de"), QStringLiteral("fr"), QStringLiteral("es"),
                                      QStringLiteral("it"), QStringLiteral("pt"), QStringLiteral("nl"),
                                      QStringLiteral("pl"), QStringLiteral("ru")};
    return codes;
}

WordTable::WordTable()
{
    const QStringList lines = QString::fromUtf8(vocartaDevWordTableData).split(u'\n', Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QStringList cells = line.split(u'|');
        if (cells.size() != languages().size() + 1)
            qFatal("word table: malformed line: %s", qPrintable(line));
        Entry entry;
        entry.category = cells.first().trimmed();
        for (qsizetype i = 1; i < cells.size(); ++i) {
            QList<Form> forms;
            for (const QString &alt : cells.at(i).split(u';')) {
                const qsizetype eq = alt.lastIndexOf(u'=');
                if (eq <= 0)
                    qFatal("word table: form without pronunciation: %s", qPrintable(alt));
                forms.append(Form{alt.left(eq).trimmed(), alt.mid(eq + 1).trimmed()});
            }
            entry.forms.append(forms);
        }
        m_entries.append(entry);
    }
}

QString WordTable::fold(const QString &text)
{
    QString s = text.simplified();
    s.replace(u'\u2019', u'\'');
    while (!s.isEmpty() && !s.front().isLetterOrNumber())
        s.remove(0, 1);
    while (!s.isEmpty() && !s.back().isLetterOrNumber())
        s.chop(1);
    return s.toCaseFolded();
}

QString WordTable::exampleSentence(const QString &lang, const QString &word)
{
    static const QHash<QString, QString> templates = {
        {QStringLiteral("en"), QStringLiteral("The word \u201c%1\u201d is on my list.")},
        {QStringLiteral("hu"), QStringLiteral("A list\u00e1mon szerepel ez a sz\u00f3: \u201e%1\u201d.")},
        {QStringLiteral("sv"), QStringLiteral("Ordet \u201d%1\u201d st\u00e5r p\u00e5 min lista.")},
        {QStringLiteral("de"), QStringLiteral("Das Wort \u201e%1\u201c steht auf meiner Liste.")},
        {QStringLiteral("fr"), QStringLiteral("Le mot \u00ab\u00a0%1\u00a0\u00bb est sur ma liste.")},
        {QStringLiteral("es"), QStringLiteral("La palabra \u00ab%1\u00bb est\u00e1 en mi lista.")},
        {QStringLiteral("it"), QStringLiteral("La parola \u00ab%1\u00bb \u00e8 nella mia lista.")},
        {QStringLiteral("pt"), QStringLiteral("A palavra \u00ab%1\u00bb est\u00e1 na minha lista.")},
        {QStringLiteral("nl"), QStringLiteral("Het woord \u2018%1\u2019 staat op mijn lijst.")},
        {QStringLiteral("pl"), QStringLiteral("S\u0142owo \u201e%1\u201d jest na mojej li\u015bcie.")},
        {QStringLiteral("ru"),
         QStringLiteral("\u0421\u043b\u043e\u0432\u043e \u00ab%1\u00bb \u0435\u0441\u0442\u044c \u0432 "
                        "\u043c\u043e\u0451\u043c \u0441\u043f\u0438\u0441\u043a\u0435.")},
    };
    return templates.value(lang).arg(word);
}

WordTable::Lookup WordTable::translate(const QString &word, const QString &langFrom,
                                       const QString &langTo) const
{
    const qsizetype from = languages().indexOf(langFrom);
    const qsizetype to = languages().indexOf(langTo);
    if (from < 0 || to < 0)
        return {{},
                QStringLiteral("Unsupported language pair \"%1\" -> \"%2\"; supported codes: %3")
                    .arg(langFrom, langTo, languages().join(QStringLiteral(", ")))};
    const QString wanted = fold(word);
    if (wanted.isEmpty())
        return {{}, QStringLiteral("Nothing to translate: the word is empty")};

    QJsonArray out;
    QSet<QString> seen;
    auto add = [&](const Entry &e, const Form &target, const Form &source) {
        const QString key = target.text + u'\x1f' + source.text;
        if (out.size() >= maxCandidates || seen.contains(key))
            return;
        seen.insert(key);
        out.append(QJsonObject{{"word", target.text},
                               {"translation", source.text},
                               {"phonetic", QString(u'/' + target.ipa + u'/')},
                               {"exampleSentence", exampleSentence(langTo, target.text)},
                               {"exampleSentenceTranslation", exampleSentence(langFrom, source.text)},
                               {"category", e.category}});
    };
    auto matches = [&](const Form &f) { return fold(f.text) == wanted; };

    // A word already in the language being learnt first, then translations into it.
    for (const Entry &e : m_entries)
        for (const Form &target : e.forms.at(to))
            if (matches(target))
                add(e, target, e.forms.at(from).first());
    for (const Entry &e : m_entries)
        for (const Form &source : e.forms.at(from))
            if (matches(source))
                for (const Form &target : e.forms.at(to))
                    add(e, target, source);

    if (out.isEmpty())
        return {{},
                QStringLiteral("No translation found for \"%1\" (%2 -> %3): the development server knows "
                               "only the %4 entries of its built-in word table")
                    .arg(word.simplified().left(60), langFrom, langTo)
                    .arg(m_entries.size()),
                true};
    return {out, {}};
}
