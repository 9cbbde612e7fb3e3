#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// What one start of the program asks for. A second start hands its arguments
// to the running instance, which parses them with the same rules.
struct CommandLine {
    enum class Outcome { Run, PrintHelp, PrintVersion, UsageError };
    enum class Request {
        Activate,    // no arguments: show the "auth" window (when already running)
        Preferences, // --preferences: the settings window
        Capture,     // --capture: what the global shortcut does
        OpenUrl,     // vocarta://...: a sign-in callback
        Autostart,   // --autostart: a start at login, in the tray only; nothing for a running copy
    };

    Outcome outcome = Outcome::Run;
    Request request = Request::Activate;
    QUrl url;
    QString error;
    QStringList arguments; // as given, for forwarding

    // `arguments` excludes the program name.
    static CommandLine parse(const QStringList &arguments);
    static QString usage();
};
