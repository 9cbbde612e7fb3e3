#pragma once

#include <QLoggingCategory>
#include <QString>

#include <functional>

// The one logging function of the program. Lines carry their own prefix
// ("[Vocarta] ", "[Convex WS] "); the channel decides where they go:
// shell lines to standard output; warnings about the environment (no secret
// store, no tray, no hot-key mechanism) to standard error; sync lines to the
// system log (the journal when journald runs, else standard error).
// Never pass a token.
enum class LogChannel { Shell, Warning, Sync };

void logLine(LogChannel channel, const QString &line);

// Tests capture lines by installing a sink; an empty sink restores the default.
using LogSink = std::function<void(LogChannel, const QString &)>;
void setLogSink(LogSink sink);

// Diagnostics (a failure that was handled, a view that did not load) are
// warnings under a Qt logging category, so that QT_LOGGING_RULES can silence
// them: "vocarta.secrets" for the secret store and the session's copy of the
// token pair, "vocarta.shell" for windows and views. The category only
// filters; a line it lets through goes the way of any warning, sink included.
void logLine(const QLoggingCategory &category, const QString &line);

Q_DECLARE_LOGGING_CATEGORY(lcSecrets)
Q_DECLARE_LOGGING_CATEGORY(lcShell)

// "vocarta.timing" (off unless QT_LOGGING_RULES turns its debug lines on):
// the steps from a capture request to the overlay's focus, each stamped with
// the monotonic clock in microseconds, the clock the compositor's and GLib's
// time stamps use, so a benchmark can lay them next to the compositor's.
Q_DECLARE_LOGGING_CATEGORY(lcTiming)
void logTimingStep(const char *step);
