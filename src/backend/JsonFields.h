#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// Strict readers for JSON members: exact keys, required members present and
// of the right type, optional members absent when missing or null. Every
// failure is a DecodingError naming the member.
namespace JsonFields {

QString typeName(const QJsonValue &value);

// The value itself must be an object (`what` names it in the failure, may be empty).
QJsonObject requireObject(const QJsonValue &value, const QString &what = {});
QJsonArray requireArray(const QJsonValue &value, const QString &what = {});
QString requireString(const QJsonValue &value, const QString &what = {});

QString requiredString(const QJsonObject &object, const QString &key);
std::optional<QString> optionalString(const QJsonObject &object, const QString &key);

} // namespace JsonFields
