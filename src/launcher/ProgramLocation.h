#pragma once

#include <string>

// Where the program the launcher starts lives: beside the launcher's own
// file as installed (libexec), and in the build tree, which has the same layout.
namespace ProgramLocation {

// `launcher` is the launcher's own file (absolute), `relative` the program's
// path from the launcher's folder.
std::string besideLauncher(const std::string &launcher, const std::string &relative);

// From /proc/self/exe; the installed path when that cannot be read.
std::string find();

} // namespace ProgramLocation
