#include "backend/Deck.h"

#include "backend/JsonFields.h"

Deck Deck::fromJson(const QJsonValue &json)
{
    const QJsonObject object = JsonFields::requireObject(json);
    Deck deck;
    deck._id = JsonFields::requiredString(object, QStringLiteral("_id"));
    deck.name = JsonFields::requiredString(object, QStringLiteral("name"));
    deck.langFrom = JsonFields::requiredString(object, QStringLiteral("langFrom"));
    deck.langTo = JsonFields::requiredString(object, QStringLiteral("langTo"));
    return deck;
}
