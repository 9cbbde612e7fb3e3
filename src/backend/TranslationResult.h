#pragma once

#include <QJsonValue>
#include <QMetaType>
#include <QString>

// One candidate translation. Two candidates with the same word and
// translation are the same entry wherever results are keyed by identity.
class TranslationResult {
    Q_GADGET
    Q_PROPERTY(QString word MEMBER word)
    Q_PROPERTY(QString translation MEMBER translation)
    Q_PROPERTY(QString phonetic MEMBER phonetic)
    Q_PROPERTY(QString exampleSentence MEMBER exampleSentence)
    Q_PROPERTY(QString exampleSentenceTranslation MEMBER exampleSentenceTranslation)
    Q_PROPERTY(QString category MEMBER category)

public:
    QString word;
    QString translation;
    QString phonetic;
    QString exampleSentence;
    QString exampleSentenceTranslation;
    QString category;

    QString id() const { return word + translation; }

    // Throws DecodingError unless `json` is an object with the six members as strings.
    static TranslationResult fromJson(const QJsonValue &json);

    friend bool operator==(const TranslationResult &, const TranslationResult &) = default;
};

Q_DECLARE_METATYPE(TranslationResult)
