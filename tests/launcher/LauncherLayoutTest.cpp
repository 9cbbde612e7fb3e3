#include "app/LauncherPath.h"
#include "launcher/ProgramLocation.h"

#include "BuildConfig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The launcher finds the program, and the program names the launcher in the
// entries it writes for the desktop, through two relative paths that have to
// agree, under any prefix.
class LauncherLayoutTest : public QObject {
    Q_OBJECT

    static void makeExecutable(const QString &path)
    {
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        file.close();
        QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
    }

private Q_SLOTS:
    void launcherAndProgramFindEachOther()
    {
        QTemporaryDir prefix;
        const QString launcher = prefix.filePath(QStringLiteral("bin/vocarta-menubar"));
        const QString program = QDir::cleanPath(QString::fromStdString(
            ProgramLocation::besideLauncher(launcher.toStdString(), BuildConfig::programFromLauncher)));
        QVERIFY2(program.startsWith(prefix.path() + QLatin1Char('/')), qPrintable(program));
        QVERIFY(program.endsWith(QLatin1String("/vocarta-menubar")));
        QVERIFY(program != launcher);
        makeExecutable(program);

        // Without a launcher beside it the program names itself.
        QCOMPARE(LauncherPath::forProgram(program), program);
        makeExecutable(launcher);
        QCOMPARE(LauncherPath::forProgram(program), launcher);
    }
};

QTEST_GUILESS_MAIN(LauncherLayoutTest)
#include "LauncherLayoutTest.moc"
