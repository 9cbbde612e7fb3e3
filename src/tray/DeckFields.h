#pragma once

#include <QString>
#include <QVariant>

#include <optional>

// The four members of a deck as the shell's views need them, read from the
// QVariant that the deck state publishes (a Deck gadget, or a map in tests and
// QML-made values). Anything without an "_id" text is not a deck.
struct DeckFields {
    QString id;
    QString name;
    QString langFrom;
    QString langTo;

    static std::optional<DeckFields> from(const QVariant &value);
    static QList<DeckFields> listFrom(const QVariant &value);
};
