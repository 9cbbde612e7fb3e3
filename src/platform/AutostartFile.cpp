#include "platform/AutostartFile.h"

#include "BuildConfig.h"
#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// Entries larger than this are not ours to understand.
constexpr qint64 maxEntrySize = 64 * 1024;

// A desktop entry that exists may still be switched off by the desktop's own
// settings (Hidden=true, or GNOME's X-GNOME-Autostart-enabled=false).
bool entryIsActive(const QByteArray &contents)
{
    bool inMainGroup = false;
    for (const QByteArray &rawLine : contents.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return false;
    }
    return true;
}

// An Exec argument quoted the way desktops read the Exec key back, then
// escaped as every string value of a .desktop file is.
QString quotedArgument(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString quoted = argument;
    quoted.replace(u'%', QStringLiteral("%%"));
    if (needsQuotes) {
        QString inner;
        for (const QChar c : std::as_const(quoted)) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                inner += u'\\';
            inner += c;
        }
        quoted = u'"' + inner + u'"';
    }
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'\n', QStringLiteral("\\n"));
    quoted.replace(u'\t', QStringLiteral("\\t"));
    return quoted;
}

} // namespace

AutostartFile::AutostartFile(QString directory, QString program, QObject *parent)
    : Autostart(parent)
    , m_directory(std::move(directory))
    , m_program(std::move(program))
{
}

QString AutostartFile::filePath() const
{
    return QDir(m_directory)
        .filePath(QString::fromLatin1(BuildConfig::bundleIdentifier) + QStringLiteral(".desktop"));
}

QString AutostartFile::execLine(const QString &program)
{
    const QFileInfo info(program);
    const QString onPath = QStandardPaths::findExecutable(info.fileName());
    const bool foundByName =
        !onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == info.canonicalFilePath();
    return (foundByName ? quotedArgument(info.fileName()) : quotedArgument(info.absoluteFilePath())) +
           QStringLiteral(" --autostart");
}

bool AutostartFile::read() const
{
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return entryIsActive(file.read(maxEntrySize));
}

bool AutostartFile::writeEntry() const
{
    if (!QDir().mkpath(m_directory))
        return false;
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Vocarta Menubar\n"
                                         "Comment=Add the word you selected to your Vocarta deck with one "
                                         "shortcut\n"
                                         "Exec=") +
                          execLine(m_program) +
                          QStringLiteral("\n"
                                         "Icon=") +
                          QString::fromLatin1(BuildConfig::bundleIdentifier) +
                          QStringLiteral("\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n");
    // Written whole or not at all: a session that starts while we write must
    // not find half an entry.
    QSaveFile file(filePath());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(entry.toUtf8());
    return file.commit();
}

QCoro::Task<bool> AutostartFile::write(bool on)
{
    if (on) {
        if (!writeEntry())
            logLine(LogChannel::Warning,
                    QStringLiteral("[Vocarta] Could not write the start-at-login entry ") + filePath());
    } else if (QFileInfo::exists(filePath()) && !QFile::remove(filePath())) {
        logLine(LogChannel::Warning,
                QStringLiteral("[Vocarta] Could not remove the start-at-login entry ") + filePath());
    }
    co_return read();
}
