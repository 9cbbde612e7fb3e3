#pragma once

#include <QString>

#include <sys/types.h>

// A directory only its owner can enter: what a socket that carries sign-in
// callbacks may live in.
namespace PrivateDirectory {

// Creates `path` (mode 0700) when it is missing; true when it is a real
// directory (not a link), owned by `owner`, with mode 0700 exactly.
bool ensure(const QString &path, uid_t owner);

} // namespace PrivateDirectory
