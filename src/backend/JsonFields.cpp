#include "backend/JsonFields.h"

#include "backend/DecodingError.h"

namespace JsonFields {

QString typeName(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("missing");
}

static DecodingError wrongType(const QString &what, const QString &expected, const QJsonValue &found)
{
    if (found.isUndefined())
        return DecodingError(what, QStringLiteral("is missing"));
    if (found.isNull())
        return DecodingError(what, QStringLiteral("is null but must be ") + expected);
    return DecodingError(what,
                         QStringLiteral("must be ") + expected + QStringLiteral(", not ") + typeName(found));
}

QJsonObject requireObject(const QJsonValue &value, const QString &what)
{
    if (!value.isObject())
        throw wrongType(what, QStringLiteral("an object"), value);
    return value.toObject();
}

QJsonArray requireArray(const QJsonValue &value, const QString &what)
{
    if (!value.isArray())
        throw wrongType(what, QStringLiteral("an array"), value);
    return value.toArray();
}

QString requireString(const QJsonValue &value, const QString &what)
{
    if (!value.isString())
        throw wrongType(what, QStringLiteral("a string"), value);
    return value.toString();
}

QString requiredString(const QJsonObject &object, const QString &key)
{
    return requireString(object.value(key), key);
}

std::optional<QString> optionalString(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    return requireString(value, key);
}

} // namespace JsonFields
