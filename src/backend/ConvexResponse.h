#pragma once

#include "backend/DecodingError.h"
#include "backend/JsonFields.h"
#include "backend/Records.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <optional>

// The envelope of every function call's answer. `value` is absent when the
// member is missing or null.
template <class T> struct ConvexResponse {
    QString status;
    std::optional<T> value;
    std::optional<QString> errorMessage;

    static ConvexResponse fromJson(const QJsonValue &json)
    {
        const QJsonObject object = JsonFields::requireObject(json);
        ConvexResponse response;
        response.status = JsonFields::requiredString(object, QStringLiteral("status"));
        response.errorMessage = JsonFields::optionalString(object, QStringLiteral("errorMessage"));
        const QJsonValue value = object.value(QStringLiteral("value"));
        if (!value.isUndefined() && !value.isNull()) {
            try {
                response.value = decodeRecord<T>(value);
            } catch (const DecodingError &error) {
                throw error.inside(QStringLiteral("value"));
            }
        }
        return response;
    }

    // Decodes a whole HTTP body; anything but a JSON object of the right shape is a DecodingError.
    static ConvexResponse fromBody(const QByteArray &body)
    {
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
        if (parseError.error != QJsonParseError::NoError)
            throw DecodingError({}, QStringLiteral("the body is not valid JSON (") +
                                        parseError.errorString() + QStringLiteral(" at offset ") +
                                        QString::number(parseError.offset) + QLatin1Char(')'));
        if (!document.isObject())
            throw DecodingError({}, QStringLiteral("the body must be a JSON object"));
        return fromJson(document.object());
    }
};
