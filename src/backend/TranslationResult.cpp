#include "backend/TranslationResult.h"

#include "backend/JsonFields.h"

TranslationResult TranslationResult::fromJson(const QJsonValue &json)
{
    const QJsonObject object = JsonFields::requireObject(json);
    TranslationResult result;
    result.word = JsonFields::requiredString(object, QStringLiteral("word"));
    result.translation = JsonFields::requiredString(object, QStringLiteral("translation"));
    result.phonetic = JsonFields::requiredString(object, QStringLiteral("phonetic"));
    result.exampleSentence = JsonFields::requiredString(object, QStringLiteral("exampleSentence"));
    result.exampleSentenceTranslation =
        JsonFields::requiredString(object, QStringLiteral("exampleSentenceTranslation"));
    result.category = JsonFields::requiredString(object, QStringLiteral("category"));
    return result;
}
