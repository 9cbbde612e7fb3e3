#pragma once

#include <QString>

// The command that starts this program: the launcher, which is what an entry
// written for the desktop (the start at login) has to run. This file itself
// when it runs without one beside it.
namespace LauncherPath {

// `programFile` is this program's own file.
QString forProgram(const QString &programFile);
QString find();

} // namespace LauncherPath
