#include "backend/UserInfo.h"

#include "backend/JsonFields.h"

UserInfo UserInfo::fromJson(const QJsonValue &json)
{
    const QJsonObject object = JsonFields::requireObject(json);
    UserInfo info;
    info.email = JsonFields::optionalString(object, QStringLiteral("email"));
    return info;
}
