#pragma once

#include <cstdlib>

// The launcher tells the program it starts that it already asked the bus for
// a running copy and found none, so the program claims the name at once
// (the claim still settles a race with another start) instead of asking
// again. The program takes the mark away before anything it starts inherits it.
namespace HandOverMarker {

inline constexpr const char *variable = "VOCARTA_LAUNCHER_FOUND_NO_COPY";

// Without the mark (no memory for it) the program merely asks once more.
inline void set()
{
    ::setenv(variable, "1", 1);
}

// Whether the mark was there; it is gone afterwards.
inline bool take()
{
    const bool present = std::getenv(variable) != nullptr;
    ::unsetenv(variable);
    return present;
}

} // namespace HandOverMarker
