#pragma once

#include <QJsonValue>
#include <QString>

#include <optional>

// The signed-in user's details.
struct UserInfo {
    std::optional<QString> email;

    static UserInfo fromJson(const QJsonValue &json);
};
