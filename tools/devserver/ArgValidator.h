#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// Checks a function's arguments the way the deployment's validators do: an
// object with only the declared members; a required member must be present and
// of its type; an optional member may be left out but is never null.
// Messages never quote argument values (they may be secrets).
class ArgValidator {
public:
    enum class Type { String, Any };
    struct Rule {
        QString name;
        Type type = Type::String;
        bool optional = false;
    };

    static std::optional<QString> check(const QJsonObject &args, const QList<Rule> &rules);
};
