#pragma once

#include <QString>

#include <functional>

// The deployment's one log: one line per event on standard output. Callers
// never pass tokens, passwords or link codes other than those the operator asked for.
void devLog(const QString &line);

// Tests route the lines elsewhere; an empty function restores standard output.
void setDevLogSink(std::function<void(const QString &)> sink);
