#pragma once

#include "backend/AuthTokens.h"

#include <optional>

// What the sign-in action answers: a missing or null "tokens" means none were issued.
struct AuthSignInResponse {
    std::optional<AuthTokens> tokens;

    static AuthSignInResponse fromJson(const QJsonValue &json);
};
