#include "BuildConfig.h"
#include "TestSupport.h"
#include "app/Fonts.h"
#include "platform/Bundle.h"
#include "qml/Color.h"
#include "qml/Theme.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QProcess>
#include <QRawFont>
#include <QTemporaryDir>
#include <QtTest>

class ResourcesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void colourFromHex_data();
    void colourFromHex();
    void bundleLookupOrder();
    void missingBundleStopsWithMessage();
    // Order matters: the first registers from a partial copy in a fresh process.
    void missingFontIsReportedAndOthersRegister();
    void fontsResolveToBundledFiles();

private:
    static QString copyBundleWithout(const QTemporaryDir &dir, const QString &missingFile);
};

void ResourcesTest::colourFromHex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("expected");
    const QColor coral = QColor::fromRgb(255, 107, 107);
    QTest::newRow("hash") << "#FF6B6B" << coral;
    QTest::newRow("no hash") << "FF6B6B" << coral;
    QTest::newRow("no short form") << "#FFF" << QColor::fromRgb(0, 15, 255);
    QTest::newRow("top byte dropped, not alpha") << "#80FF6B6B" << coral;
    QTest::newRow("surrounding spaces and line break") << "  #5f35bf\n" << QColor::fromRgb(0x5F, 0x35, 0xBF);
    QTest::newRow("0x prefix") << "0xEAD153" << QColor::fromRgb(0xEA, 0xD1, 0x53);
    QTest::newRow("stops at first non-hex digit") << "#12G456" << QColor::fromRgb(0, 0, 0x12);
    QTest::newRow("no hex digit") << "#zzz" << QColor::fromRgb(0, 0, 0);
    QTest::newRow("empty") << "" << QColor::fromRgb(0, 0, 0);
    QTest::newRow("only punctuation") << "##" << QColor::fromRgb(0, 0, 0);
    QTest::newRow("too long saturates") << "FFFFFFFFFFFFFFFFFF" << QColor::fromRgb(255, 255, 255);
}

void ResourcesTest::colourFromHex()
{
    QFETCH(QString, text);
    QFETCH(QColor, expected);
    const QColor colour = Color::hex(text);
    QCOMPARE(colour.rgb(), expected.rgb());
    QCOMPARE(colour.alphaF(), 1.0f);
}

void ResourcesTest::bundleLookupOrder()
{
    QTemporaryDir exeDir, shareDir, buildDir;
    const QString name = QString::fromUtf8(BuildConfig::bundleName);
    const QString buildTree = buildDir.filePath(name);
    const QStringList places = Bundle::candidates(exeDir.path(), shareDir.path(), buildTree);
    QCOMPARE(places, (QStringList{exeDir.filePath(name), shareDir.filePath(name), buildTree}));

    QCOMPARE(Bundle::locate(places), std::nullopt);
    QDir().mkpath(buildTree);
    QCOMPARE(Bundle::locate(places), QDir::cleanPath(buildTree));
    QDir().mkpath(shareDir.filePath(name));
    QCOMPARE(Bundle::locate(places), QDir::cleanPath(shareDir.filePath(name)));
    QDir().mkpath(exeDir.filePath(name));
    QCOMPARE(Bundle::locate(places), QDir::cleanPath(exeDir.filePath(name)));

    // The real build places the bundle next to the executables.
    QVERIFY(QFileInfo(Bundle::resources() + "/Resources/Fonts/Nunito_400Regular.ttf").isFile());
}

void ResourcesTest::missingBundleStopsWithMessage()
{
    if (qEnvironmentVariableIsSet("VOCARTA_BUNDLE_CHILD")) {
        const QString base = qEnvironmentVariable("VOCARTA_BUNDLE_CHILD");
        Bundle::resourcesFrom(base + "/exe", base + "/share", base + "/build/x.bundle");
        return;
    }
    QTemporaryDir dir;
    QProcess child;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("VOCARTA_BUNDLE_CHILD", dir.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"missingBundleStopsWithMessage"});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QVERIFY(child.exitCode() != 0);
    const QString expected =
        QStringLiteral("could not load resource bundle: from %1/exe/%2 or %1/build/x.bundle")
            .arg(dir.path(), QString::fromUtf8(BuildConfig::bundleName));
    QVERIFY2(QString::fromUtf8(child.readAllStandardError()).contains(expected), qPrintable(expected));
}

QString ResourcesTest::copyBundleWithout(const QTemporaryDir &dir, const QString &missingFile)
{
    const QString source = QString::fromUtf8(BuildConfig::bundleBuildPath) + "/Resources/Fonts";
    const QString target = dir.filePath("copy.bundle/Resources/Fonts");
    QDir().mkpath(target);
    for (const QString &file : QDir(source).entryList({"*.ttf"}, QDir::Files)) {
        if (file != missingFile)
            QFile::copy(source + "/" + file, target + "/" + file);
    }
    return dir.filePath("copy.bundle");
}

void ResourcesTest::fontsResolveToBundledFiles()
{
    LogCapture log;
    registerFonts();
    QCOMPARE(log.lines(LogChannel::Shell), QStringList{});
    // The families the views name are the ones the bundled files bring.
    const Theme theme;
    const QStringList families = QFontDatabase::families();
    QVERIFY(families.contains(theme.displayFont));
    QVERIFY(families.contains(theme.textFont));
    QVERIFY(QFontDatabase::styles(theme.textFont).contains("ExtraBold"));

    // The views ask by PostScript name; check that each bundled file carries it.
    const QString fonts = Bundle::resources() + "/Resources/Fonts/";
    const QList<QPair<QString, QString>> expected = {
        {"Staatliches_400Regular.ttf", "Staatliches-Regular"},
        {"Nunito_400Regular.ttf", "Nunito-Regular"},
        {"Nunito_800ExtraBold.ttf", "Nunito-ExtraBold"},
    };
    for (const auto &[file, postscript] : expected) {
        QFile f(fonts + file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QRawFont raw(f.readAll(), 12);
        QVERIFY2(raw.isValid(), qPrintable(file));
        const QByteArray name = raw.fontTable("name");
        // PostScript names are stored as UTF-16BE in the name table on these files.
        QByteArray utf16;
        for (QChar c : postscript) {
            utf16.append(char(0));
            utf16.append(char(c.unicode()));
        }
        QVERIFY2(name.contains(utf16) || name.contains(postscript.toLatin1()), qPrintable(postscript));
    }
}

void ResourcesTest::missingFontIsReportedAndOthersRegister()
{
    QTemporaryDir dir;
    const QString bundle = copyBundleWithout(dir, "Nunito_800ExtraBold.ttf");
    LogCapture log;
    registerFonts(bundle);
    QCOMPARE(log.lines(LogChannel::Shell), QStringList{"[Vocarta] Font not found: Nunito_800ExtraBold.ttf"});
    const Theme theme;
    QVERIFY(QFontDatabase::families().contains(theme.displayFont));
    QVERIFY(QFontDatabase::styles(theme.textFont).contains("Regular"));
    QVERIFY(!QFontDatabase::styles(theme.textFont).contains("ExtraBold"));
}

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    ResourcesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ResourcesTest.moc"
