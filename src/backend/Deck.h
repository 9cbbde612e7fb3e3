#pragma once

#include <QJsonValue>
#include <QMetaType>
#include <QString>

// One of the user's decks. Its identity is the server's document id.
class Deck {
    Q_GADGET
    Q_PROPERTY(QString _id MEMBER _id)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(QString langFrom MEMBER langFrom)
    Q_PROPERTY(QString langTo MEMBER langTo)

public:
    QString _id;
    QString name;
    QString langFrom;
    QString langTo;

    QString id() const { return _id; }

    // Throws DecodingError unless `json` is an object with the four members as strings.
    static Deck fromJson(const QJsonValue &json);

    friend bool operator==(const Deck &, const Deck &) = default;
};

Q_DECLARE_METATYPE(Deck)
