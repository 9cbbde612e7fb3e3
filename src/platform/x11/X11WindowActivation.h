#pragma once

#include <QString>

class QWindow;

namespace X11WindowActivation {

// Asks the window manager to activate `window` (_NET_ACTIVE_WINDOW from an
// application, with a current server time, or the time in a startup id), so
// focus-stealing prevention sees a fresh request rather than Qt's last input
// time, which is stale after the menu or another program had the input.
void activate(QWindow *window, const QString &startupId);

// The "_TIME<n>" part of a startup notification id, or 0.
unsigned int timeFromStartupId(const QString &startupId);

} // namespace X11WindowActivation
