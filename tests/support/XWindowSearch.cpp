#include "XWindowSearch.h"

#include <QLatin1Char>
#include <QProcess>
#include <QStringList>

bool visibleWindowNamed(const QString &title)
{
    QProcess search;
    search.setStandardErrorFile(QProcess::nullDevice());
    search.start(QStringLiteral("xdotool"),
                 {"search", "--onlyvisible", "--name", QLatin1Char('^') + title + QLatin1Char('$')});
    search.waitForFinished(10000);
    return search.exitCode() == 0 && !search.readAllStandardOutput().trimmed().isEmpty();
}
