#pragma once

#include <string>

// The token the desktop gave this process for its focus-stealing prevention
// (XDG_ACTIVATION_TOKEN on Wayland, DESKTOP_STARTUP_ID on X11), or empty.
// Without Qt: the launcher reads it too.
namespace ActivationToken {

std::string fromEnvironment();

} // namespace ActivationToken
