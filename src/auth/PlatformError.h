#pragma once

#include "backend/Failure.h"

// A failure of the desktop rather than of the server: a sign-in the user (or a
// newer attempt) cancelled, a sign-in method this system does not offer, no
// browser to open. The description is what the user sees.
class PlatformError : public Failure {
public:
    enum class Kind { Cancelled, Unavailable, BrowserFailed };

    static PlatformError cancelled();
    static PlatformError appleSignInUnavailable();
    static PlatformError browserFailed();

    Kind kind() const { return m_kind; }

private:
    PlatformError(Kind kind, QString description);

    Kind m_kind;
};
