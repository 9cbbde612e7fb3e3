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
    // Text only, and whole: a lone surrogate is no character of any argument.
    SingleInstanceMessage message;
    for (const QJsonValue &argument : arguments.toArray()) {
        if (!argument.isString() || !QStringView(argument.toString()).isValidUtf16())
            return std::nullopt;
        message.arguments << argument.toString();
    }
    message.activationToken = token.toString();
    if (!QStringView(message.activationToken).isValidUtf16())
        return std::nullopt;
    return message;
}

QByteArray SingleInstanceMessage::encode() const
{
    const QJsonObject object{{QStringLiteral("arguments"), QJsonArray::fromStringList(arguments)},
                             {QStringLiteral("token"), activationToken}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}
