#pragma once

#include <string>
#include <vector>

// The request a later start hands to the running copy: one Activate call on
// the session bus, over a private libdbus connection, without Qt, so that a
// start which only forwards loads as little as it can. It waits for the
// answer (at most 10 s); nothing else runs in the process meanwhile.
namespace ActivateCall {

// The running copy exports Activate(as arguments, s activationToken) at
// /<name with slashes> under this interface.
inline constexpr const char *interfaceName = "me.brindlefox.vocarta.menubar.Instance";

// NoCopy: nothing owns `name`, or there is no session bus at all; this start
// may then become the running copy.
enum class Result { Delivered, NoCopy, Failed };

// Arguments must be UTF-8 (Failed otherwise, before anything is sent). A
// token that is not UTF-8 goes as none: the desktop hands out no such token.
Result send(const std::string &name, const std::vector<std::string> &arguments,
            const std::string &activationToken);

} // namespace ActivateCall
