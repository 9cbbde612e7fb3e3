#include "backend/ConvexError.h"

ConvexError::ConvexError(Kind kind, int code, QString message)
    : Failure(describe(kind, code, message))
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

QString ConvexError::describe(Kind kind, int code, const QString &message)
{
    switch (kind) {
    case Kind::AuthFailed:
        return QStringLiteral("Auth failed: ") + message;
    case Kind::NetworkError:
        return QStringLiteral("Network error: ") + message;
    case Kind::ServerError:
        return QStringLiteral("Server error (") + QString::number(code) + QStringLiteral("): ") + message;
    }
    return message;
}
