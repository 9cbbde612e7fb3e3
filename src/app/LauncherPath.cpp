#include "app/LauncherPath.h"

#include "BuildConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString LauncherPath::forProgram(const QString &programFile)
{
    const QString launcher = QDir::cleanPath(
        QFileInfo(programFile).dir().filePath(QString::fromUtf8(BuildConfig::launcherFromProgram)));
    return QFileInfo(launcher).isExecutable() ? launcher : programFile;
}

QString LauncherPath::find()
{
    return forProgram(QCoreApplication::applicationFilePath());
}
