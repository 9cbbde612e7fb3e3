#pragma once

#include <QJsonValue>
#include <QString>

// A session's pair of tokens, always handled as one unit.
struct AuthTokens {
    QString token;
    QString refreshToken;

    static AuthTokens fromJson(const QJsonValue &json);

    friend bool operator==(const AuthTokens &, const AuthTokens &) = default;
};
