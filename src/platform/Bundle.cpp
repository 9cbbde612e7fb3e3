#include "platform/Bundle.h"

#include "BuildConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

namespace Bundle {

QStringList candidates(const QString &executableDir, const QString &shareDir, const QString &buildTreePath)
{
    const QString name = QString::fromUtf8(BuildConfig::bundleName);
    return {QDir(executableDir).filePath(name), QDir(shareDir).filePath(name), buildTreePath};
}

std::optional<QString> locate(const QStringList &candidates)
{
    for (const QString &path : candidates) {
        if (QFileInfo(path).isDir())
            return QDir::cleanPath(path);
    }
    return std::nullopt;
}

QString resourcesFrom(const QString &executableDir, const QString &shareDir, const QString &buildTreePath)
{
    const QStringList places = candidates(executableDir, shareDir, buildTreePath);
    if (auto found = locate(places))
        return *found;
    const QByteArray message = QStringLiteral("could not load resource bundle: from %1 or %2")
                                   .arg(places.first(), buildTreePath)
                                   .toUtf8();
    std::fprintf(stderr, "%s\n", message.constData());
    std::fflush(stderr);
    std::exit(EXIT_FAILURE);
}

QString resources()
{
    // Before QCoreApplication exists applicationDirPath() is empty; fall back
    // to /proc so the lookup also works that early.
    QString executableDir = QCoreApplication::applicationDirPath();
    if (executableDir.isEmpty())
        executableDir =
            QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2);
    // The share directory is relative to the executable's, so an installation
    // under any prefix (or unpacked from a package anywhere) finds its own.
    return resourcesFrom(executableDir,
                         QDir(executableDir).filePath(QString::fromUtf8(BuildConfig::shareDir)),
                         QString::fromUtf8(BuildConfig::bundleBuildPath));
}

} // namespace Bundle
