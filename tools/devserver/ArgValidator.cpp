#include "ArgValidator.h"

#include <QJsonValue>
#include <QStringList>

namespace {
QString typeName(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    default:
        return QStringLiteral("undefined");
    }
}

QString validatorText(const QList<ArgValidator::Rule> &rules)
{
    QStringList parts;
    for (const auto &r : rules) {
        QString v =
            r.type == ArgValidator::Type::String ? QStringLiteral("v.string()") : QStringLiteral("v.any()");
        if (r.optional)
            v = QStringLiteral("v.optional(%1)").arg(v);
        parts << r.name + QStringLiteral(": ") + v;
    }
    return QStringLiteral("v.object({") + parts.join(QStringLiteral(", ")) + QStringLiteral("})");
}
} // namespace

std::optional<QString> ArgValidator::check(const QJsonObject &args, const QList<Rule> &rules)
{
    for (auto it = args.begin(); it != args.end(); ++it) {
        const bool known =
            std::any_of(rules.begin(), rules.end(), [&](const Rule &r) { return r.name == it.key(); });
        if (!known)
            return QStringLiteral(
                       "ArgumentValidationError: Object contains extra field `%1` that is not in the "
                       "validator.\nValidator: %2")
                .arg(it.key(), validatorText(rules));
    }
    for (const Rule &rule : rules) {
        if (!args.contains(rule.name)) {
            if (rule.optional)
                continue;
            return QStringLiteral(
                       "ArgumentValidationError: Object is missing the required field `%1`. Consider "
                       "wrapping the field validator in `v.optional(...)` if this is expected.\n"
                       "Validator: %2")
                .arg(rule.name, validatorText(rules));
        }
        const QJsonValue value = args.value(rule.name);
        if (rule.type == Type::String && !value.isString())
            return QStringLiteral("ArgumentValidationError: Value does not match validator.\nPath: .%1\n"
                                  "Value: %2\nValidator: v.string()")
                .arg(rule.name, typeName(value));
    }
    return std::nullopt;
}
