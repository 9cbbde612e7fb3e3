#include "platform/posix/PrivateDirectory.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>

bool PrivateDirectory::ensure(const QString &path, uid_t owner)
{
    if (path.isEmpty())
        return false;
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    // lstat: a link planted under the name is refused, not followed.
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == owner && (info.st_mode & 07777) == 0700;
}
