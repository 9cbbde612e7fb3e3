#pragma once

#include <QString>
#include <QtGlobal>

class QWindow;

// Brings one of our windows to the front with the keyboard focus, past the
// desktop's focus-stealing prevention: the user asked for it (a menu item, a
// second start of the program), though possibly from another application.
namespace WindowActivation {

// What came with the request to bring a window forward, for the desktop's
// focus-stealing prevention: the time of the X11 input event that asked, and
// the token the desktop handed out (XDG_ACTIVATION_TOKEN on Wayland,
// DESKTOP_STARTUP_ID on X11). Either may be unknown.
struct Request {
    quint32 x11Time = 0;
    QString token;
};

// `activationToken` is what the desktop handed the start that asked
// (XDG_ACTIVATION_TOKEN on Wayland, DESKTOP_STARTUP_ID on X11), or empty.
void activate(QWindow *window, const QString &activationToken = {});

// The token the desktop gave this process, if any.
QString tokenFromEnvironment();

} // namespace WindowActivation
