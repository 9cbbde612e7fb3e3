#pragma once

#include "platform/Log.h"

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

// Captures every line of the logging function while alive.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines(LogChannel channel) const;
    QStringList allLines() const;
    void clear();

private:
    struct State;
    State *m_state;
};

// A deck as the deployment sends it.
inline QJsonObject deckJson(const QString &id, const QString &name,
                            const QString &langTo = QStringLiteral("sv"),
                            const QString &langFrom = QStringLiteral("en"))
{
    return QJsonObject{{QStringLiteral("_id"), id},
                       {QStringLiteral("name"), name},
                       {QStringLiteral("langFrom"), langFrom},
                       {QStringLiteral("langTo"), langTo}};
}

// A translation candidate as the deployment sends it; the fields after the
// word and its translation matter only to the tests that name them.
inline QJsonObject translationJson(const QString &word, const QString &translation,
                                   const QString &phonetic = QStringLiteral("ˈhʉːs"),
                                   const QString &example = QStringLiteral("Huset är rött."),
                                   const QString &exampleTranslation = QStringLiteral("The house is red."),
                                   const QString &category = QStringLiteral("noun"))
{
    return QJsonObject{{QStringLiteral("word"), word},
                       {QStringLiteral("translation"), translation},
                       {QStringLiteral("phonetic"), phonetic},
                       {QStringLiteral("exampleSentence"), example},
                       {QStringLiteral("exampleSentenceTranslation"), exampleTranslation},
                       {QStringLiteral("category"), category}};
}
