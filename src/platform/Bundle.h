#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The resource bundle: a directory "VocartaMenubar_VocartaMenubar.bundle" holding
// Resources/Fonts and Resources/Flags.
namespace Bundle {

// The candidate directories in the order they are tried: next to the
// executable, the installed share directory, the build tree.
QStringList candidates(const QString &executableDir, const QString &shareDir, const QString &buildTreePath);

// The first candidate that exists as a directory.
std::optional<QString> locate(const QStringList &candidates);

// The bundle, looked up anew on every call. Stops the program with
// "could not load resource bundle: from <first> or <build tree>" when no
// candidate exists.
QString resources();

// Same lookup with explicit places (tests run it in a child process).
QString resourcesFrom(const QString &executableDir, const QString &shareDir, const QString &buildTreePath);

} // namespace Bundle
