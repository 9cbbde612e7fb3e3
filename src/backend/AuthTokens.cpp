#include "backend/AuthTokens.h"

#include "backend/JsonFields.h"

AuthTokens AuthTokens::fromJson(const QJsonValue &json)
{
    const QJsonObject object = JsonFields::requireObject(json);
    AuthTokens tokens;
    tokens.token = JsonFields::requiredString(object, QStringLiteral("token"));
    tokens.refreshToken = JsonFields::requiredString(object, QStringLiteral("refreshToken"));
    return tokens;
}
