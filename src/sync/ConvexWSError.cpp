#include "sync/ConvexWSError.h"

ConvexWSError::ConvexWSError(Kind kind, QString description)
    : Failure(std::move(description))
    , m_kind(kind)
{
}

ConvexWSError ConvexWSError::notConnected()
{
    return ConvexWSError(Kind::NotConnected, QStringLiteral("Not connected"));
}

ConvexWSError ConvexWSError::socketFailure(const QString &description)
{
    return ConvexWSError(Kind::SocketFailure, description);
}
