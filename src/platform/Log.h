#pragma once

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
