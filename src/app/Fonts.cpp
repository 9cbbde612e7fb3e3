#include "app/Fonts.h"

#include "platform/Bundle.h"
#include "platform/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>

void registerFonts(const QString &bundlePath)
{
    static const char *const fontFiles[] = {"Staatliches_400Regular", "Nunito_400Regular",
                                            "Nunito_800ExtraBold"};
    const QDir fontsDir(QDir(bundlePath).filePath(QStringLiteral("Resources/Fonts")));
    for (const char *name : fontFiles) {
        const QString fileName = QString::fromLatin1(name) + QStringLiteral(".ttf");
        const QString path = fontsDir.filePath(fileName);
        if (!QFileInfo(path).isFile()) {
            logLine(LogChannel::Shell, QStringLiteral("[Vocarta] Font not found: ") + fileName);
            continue;
        }
        // A font that fails to register (already registered, unreadable) is
        // passed over silently; text then falls back to a substitute.
        QFontDatabase::addApplicationFont(path);
    }
}

void registerFonts()
{
    registerFonts(Bundle::resources());
}
