#pragma once

#include <QtGlobal>

#include <optional>
#include <sys/types.h>

namespace PeerCredentials {

// The user of the process at the other end of a connected local socket: the
// client for a server, the listener for a client.
std::optional<uid_t> userOf(qintptr socketDescriptor);

} // namespace PeerCredentials
