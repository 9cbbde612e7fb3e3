#include "platform/dbus/SingleInstanceMessage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

std::optional<SingleInstanceMessage> SingleInstanceMessage::decode(const QByteArray &line)
{
    if (line.size() > maximumSize)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue arguments = object.value(QStringLiteral("arguments"));
    const QJsonValue token = object.value(QStringLiteral("token"));
    if (object.size() != 2 || !arguments.isArray() || !token.isString())
        return std::nullopt;
    SingleInstanceMessage message;
    for (const QJsonValue &argument : arguments.toArray()) {
        if (!argument.isString())
            return std::nullopt;
        message.arguments << argument.toString();
    }
    message.activationToken = token.toString();
    return message;
}

QByteArray SingleInstanceMessage::encode() const
{
    const QJsonObject object{{QStringLiteral("arguments"), QJsonArray::fromStringList(arguments)},
                             {QStringLiteral("token"), activationToken}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}
