#include "app/CommandLine.h"

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine line;
    line.arguments = arguments;
    if (arguments.size() > 1) {
        line.outcome = Outcome::UsageError;
        line.error = QStringLiteral("expected at most one argument");
        return line;
    }
    if (arguments.isEmpty())
        return line;
    const QString &argument = arguments.first();
    if (argument == u"--help" || argument == u"-h") {
        line.outcome = Outcome::PrintHelp;
    } else if (argument == u"--version") {
        line.outcome = Outcome::PrintVersion;
    } else if (argument == u"--preferences") {
        line.request = Request::Preferences;
    } else if (argument == u"--capture") {
        line.request = Request::Capture;
    } else if (argument == u"--autostart") {
        line.request = Request::Autostart;
    } else if (argument.startsWith(QStringLiteral("vocarta:"), Qt::CaseInsensitive)) {
        const QUrl url(argument, QUrl::StrictMode);
        if (!url.isValid() || url.scheme().compare(u"vocarta", Qt::CaseInsensitive) != 0) {
            line.outcome = Outcome::UsageError;
            line.error = QStringLiteral("not a valid vocarta: address");
        } else {
            line.request = Request::OpenUrl;
            line.url = url;
        }
    } else {
        line.outcome = Outcome::UsageError;
        line.error = QStringLiteral("unknown argument '%1'").arg(argument);
    }
    return line;
}

QString CommandLine::usage()
{
    return QStringLiteral(
        "Usage: vocarta-menubar [--preferences | --capture | --autostart | vocarta://...]\n"
        "       vocarta-menubar --help | --version\n"
        "\n"
        "Starts Vocarta Menubar in the system tray, or hands the request to the running copy.\n"
        "\n"
        "  --preferences   open the settings window\n"
        "  --capture       add a card from the selected text (bind this to a key in your\n"
        "                  desktop's keyboard settings if the shortcut cannot be registered)\n"
        "  --autostart     start in the tray without opening a window (the start at login)\n"
        "  vocarta://...   complete a sign-in started in the browser\n"
        "  --help          show this text\n"
        "  --version       show the version\n");
}
