#include "sync/SyncFrames.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QStringDecoder>

#include <cmath>
#include <limits>

namespace SyncFrames {

QJsonObject connect(const QString &sessionId, int connectionCount,
                    const std::optional<QString> &lastCloseReason, qint64 clientTs)
{
    return QJsonObject{
        {QStringLiteral("type"), QStringLiteral("Connect")},
        {QStringLiteral("sessionId"), sessionId},
        {QStringLiteral("connectionCount"), connectionCount},
        {QStringLiteral("lastCloseReason"), lastCloseReason ? QJsonValue(*lastCloseReason) : QJsonValue()},
        {QStringLiteral("maxObservedTimestamp"), QJsonValue()},
        {QStringLiteral("clientTs"), clientTs},
    };
}

QJsonObject authenticate(const QString &token, int baseVersion)
{
    return QJsonObject{
        {QStringLiteral("type"), QStringLiteral("Authenticate")},
        {QStringLiteral("tokenType"), QStringLiteral("User")},
        {QStringLiteral("value"), token},
        {QStringLiteral("baseVersion"), baseVersion},
    };
}

QJsonObject modifyQuerySet(int baseVersion, int newVersion, const QList<QueryAdd> &adds)
{
    QJsonArray modifications;
    for (const QueryAdd &add : adds) {
        modifications.append(QJsonObject{
            {QStringLiteral("type"), QStringLiteral("Add")},
            {QStringLiteral("queryId"), add.queryId},
            {QStringLiteral("udfPath"), add.udfPath},
            {QStringLiteral("args"), QJsonArray{add.args}},
            {QStringLiteral("journal"), QJsonValue()},
        });
    }
    return QJsonObject{
        {QStringLiteral("type"), QStringLiteral("ModifyQuerySet")},
        {QStringLiteral("baseVersion"), baseVersion},
        {QStringLiteral("newVersion"), newVersion},
        {QStringLiteral("modifications"), modifications},
    };
}

QString serialize(const QJsonObject &message)
{
    return QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

namespace {

// Query ids are JSON numbers; only exact integers in int range name a query.
std::optional<int> integerMember(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number || number < std::numeric_limits<int>::min() ||
        number > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(number);
}

QString errorText(const QJsonObject &object)
{
    const QJsonValue error = object.value(QStringLiteral("error"));
    return error.isString() ? error.toString() : QStringLiteral("unknown");
}

QList<QueryUpdate> queryUpdates(const QJsonObject &object)
{
    QList<QueryUpdate> updates;
    const QJsonValue modifications = object.value(QStringLiteral("modifications"));
    if (!modifications.isArray())
        return updates;
    for (const QJsonValue &entry : modifications.toArray()) {
        if (!entry.isObject())
            continue;
        const QJsonObject modification = entry.toObject();
        if (modification.value(QStringLiteral("type")) != QStringLiteral("QueryUpdated"))
            continue;
        const std::optional<int> queryId = integerMember(modification, QStringLiteral("queryId"));
        if (!queryId)
            continue;
        const auto value = modification.constFind(QStringLiteral("value"));
        updates.append(
            {*queryId, value == modification.constEnd() ? std::nullopt : std::optional<QJsonValue>(*value)});
    }
    return updates;
}

} // namespace

std::optional<ServerMessage> parse(const QString &text)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue type = object.value(QStringLiteral("type"));
    if (!type.isString())
        return std::nullopt;

    ServerMessage message;
    const QString name = type.toString();
    if (name == QStringLiteral("Transition")) {
        message.type = ServerMessage::Type::Transition;
        message.updates = queryUpdates(object);
    } else if (name == QStringLiteral("Ping")) {
        message.type = ServerMessage::Type::Ping;
    } else if (name == QStringLiteral("AuthError")) {
        message.type = ServerMessage::Type::AuthError;
        message.error = errorText(object);
    } else if (name == QStringLiteral("FatalError")) {
        message.type = ServerMessage::Type::FatalError;
        message.error = errorText(object);
    }
    return message;
}

std::optional<QString> decodeUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace SyncFrames
