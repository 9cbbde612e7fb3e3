#include "backend/ConvexError.h"

#include <QCoreApplication>

ConvexError::ConvexError(Kind kind, int code, QString message)
    : Failure(describe(kind, code, message, false))
    , m_kind(kind)
    , m_code(code)
    , m_message(std::move(message))
{
}

ConvexError ConvexError::authFailed(QString message)
{
    return ConvexError(Kind::AuthFailed, 0, std::move(message));
}

ConvexError ConvexError::networkError(QString message)
{
    return ConvexError(Kind::NetworkError, 0, std::move(message));
}

ConvexError ConvexError::serverError(int code, QString message)
{
    return ConvexError(Kind::ServerError, code, std::move(message));
}

bool ConvexError::operator==(const ConvexError &other) const
{
    return m_kind == other.m_kind && m_code == other.m_code && m_message == other.m_message;
}

QString ConvexError::description() const
{
    return describe(m_kind, m_code, m_message, true);
}

QString ConvexError::describe(Kind kind, int code, const QString &message, bool translated)
{
    const auto text = [translated](const char *source) {
        return translated ? QCoreApplication::translate("ConvexError", source) : QString::fromUtf8(source);
    };
    switch (kind) {
    case Kind::AuthFailed:
        //: %1 is the reason, as the service or the program's sign-in gave it (not translated).
        return text(QT_TRANSLATE_NOOP("ConvexError", "Auth failed: %1")).arg(message);
    case Kind::NetworkError:
        //: %1 is the network's own description of the problem (not translated).
        return text(QT_TRANSLATE_NOOP("ConvexError", "Network error: %1")).arg(message);
    case Kind::ServerError:
        //: %1 is the HTTP status code, %2 the service's own message (not translated).
        return text(QT_TRANSLATE_NOOP("ConvexError", "Server error (%1): %2"))
            .arg(QString::number(code), message);
    }
    return message;
}
