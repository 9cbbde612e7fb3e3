#include "platform/posix/PeerCredentials.h"

#include <sys/socket.h>

std::optional<uid_t> PeerCredentials::userOf(qintptr socketDescriptor)
{
    if (socketDescriptor < 0)
        return std::nullopt;
    struct ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials)
        return std::nullopt;
    return credentials.uid;
}
