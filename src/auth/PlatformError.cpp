#include "auth/PlatformError.h"

PlatformError::PlatformError(Kind kind, QString description)
    : Failure(std::move(description))
    , m_kind(kind)
{
}

PlatformError PlatformError::cancelled()
{
    return PlatformError(Kind::Cancelled, QStringLiteral("The operation was cancelled."));
}

PlatformError PlatformError::appleSignInUnavailable()
{
    return PlatformError(Kind::Unavailable,
                         QStringLiteral("Sign in with Apple is not available on this system."));
}

PlatformError PlatformError::browserFailed()
{
    return PlatformError(Kind::BrowserFailed, QStringLiteral("The web browser could not be opened."));
}
