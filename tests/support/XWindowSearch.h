#pragma once

#include <QString>

// Whether the X server shows a mapped window with exactly this title (asks
// xdotool, so windows of other processes count too).
bool visibleWindowNamed(const QString &title);
