#pragma once

#include <QJsonValue>

// The result of operations that return nothing: accepts any JSON value and reads none of it.
struct EmptyResponse {
    static EmptyResponse fromJson(const QJsonValue &) { return {}; }
};
