#include "app/LauncherPath.h"

#include "BuildConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString LauncherPath::find()
{
    const QString launcher =
        QDir::cleanPath(QDir(QCoreApplication::applicationDirPath())
                            .filePath(QString::fromUtf8(BuildConfig::launcherFromProgram)));
    if (QFileInfo(launcher).isExecutable())
        return launcher;
    return QCoreApplication::applicationFilePath();
}
