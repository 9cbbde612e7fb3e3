#pragma once

// Every record the backend sends, and one generic way to decode them, shared
// by the HTTP client and the sync client.

#include "backend/AuthSignInResponse.h"
#include "backend/AuthTokens.h"
#include "backend/Deck.h"
#include "backend/DecodingError.h"
#include "backend/EmptyResponse.h"
#include "backend/JsonFields.h"
#include "backend/TranslationResult.h"
#include "backend/UserInfo.h"

#include <QJsonArray>
#include <QList>
#include <QString>

// RecordDecoder<T>::decode turns a JSON value into a T or throws DecodingError.
// Records decode themselves through T::fromJson; texts and lists are built in.
template <class T> struct RecordDecoder {
    static T decode(const QJsonValue &json) { return T::fromJson(json); }
    // Whether an absent or null value counts as a valid T (only the empty result).
    static constexpr bool acceptsAbsence = false;
};

template <> struct RecordDecoder<EmptyResponse> {
    static EmptyResponse decode(const QJsonValue &) { return {}; }
    static constexpr bool acceptsAbsence = true;
};

template <> struct RecordDecoder<QString> {
    static QString decode(const QJsonValue &json) { return JsonFields::requireString(json); }
    static constexpr bool acceptsAbsence = false;
};

template <class E> struct RecordDecoder<QList<E>> {
    static QList<E> decode(const QJsonValue &json)
    {
        const QJsonArray array = JsonFields::requireArray(json);
        QList<E> list;
        list.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i) {
            try {
                list.append(RecordDecoder<E>::decode(array.at(i)));
            } catch (const DecodingError &error) {
                throw error.inside(QLatin1Char('[') + QString::number(i) + QLatin1Char(']'));
            }
        }
        return list;
    }
    static constexpr bool acceptsAbsence = false;
};

template <class T> T decodeRecord(const QJsonValue &json)
{
    return RecordDecoder<T>::decode(json);
}
