#include "auth/PlatformError.h"

#include <QCoreApplication>

PlatformError::PlatformError(Kind kind, QString description)
    : Failure(std::move(description))
    , m_kind(kind)
{
}

PlatformError PlatformError::cancelled()
{
    return PlatformError(Kind::Cancelled,
                         QCoreApplication::translate("PlatformError", "The operation was cancelled."));
}

PlatformError PlatformError::appleSignInUnavailable()
{
    return PlatformError(
        Kind::Unavailable,
        QCoreApplication::translate("PlatformError", "Sign in with Apple is not available on this system."));
}

PlatformError PlatformError::browserFailed()
{
    return PlatformError(Kind::BrowserFailed, QCoreApplication::translate(
                                                  "PlatformError", "The web browser could not be opened."));
}
