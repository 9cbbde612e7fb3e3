#include "platform/ActivationToken.h"

#include <cstdlib>

namespace {

std::string variable(const char *name)
{
    const char *value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

} // namespace

std::string ActivationToken::fromEnvironment()
{
    std::string token = variable("XDG_ACTIVATION_TOKEN");
    if (token.empty())
        token = variable("DESKTOP_STARTUP_ID");
    return token;
}
