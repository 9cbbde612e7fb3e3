#include "backend/AuthSignInResponse.h"

#include "backend/DecodingError.h"
#include "backend/JsonFields.h"

AuthSignInResponse AuthSignInResponse::fromJson(const QJsonValue &json)
{
    const QJsonObject object = JsonFields::requireObject(json);
    AuthSignInResponse response;
    const QJsonValue tokens = object.value(QStringLiteral("tokens"));
    if (!tokens.isUndefined() && !tokens.isNull()) {
        try {
            response.tokens = AuthTokens::fromJson(tokens);
        } catch (const DecodingError &error) {
            throw error.inside(QStringLiteral("tokens"));
        }
    }
    return response;
}
