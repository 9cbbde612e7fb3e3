#include "platform/x11/X11WindowActivation.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QWindow>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

// A connection of our own, so the round trip for a server timestamp does not
// disturb the event stream of Qt's connection.
Display *ownDisplay()
{
    static Display *display = XOpenDisplay(nullptr);
    return display;
}

// The X server's current time, read from the PropertyNotify of a change to a
// private unmapped window.
Time serverTime(Display *display)
{
    static Window stamp = [display] {
        Window w = XCreateSimpleWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, 0, 0);
        XSelectInput(display, w, PropertyChangeMask);
        return w;
    }();
    const Atom atom = XInternAtom(display, "_VOCARTA_TIMESTAMP", False);
    XChangeProperty(display, stamp, atom, XA_STRING, 8, PropModeReplace, nullptr, 0);
    XEvent event;
    XWindowEvent(display, stamp, PropertyChangeMask, &event);
    return event.xproperty.time;
}

} // namespace

unsigned int X11WindowActivation::timeFromStartupId(const QString &startupId)
{
    static const QRegularExpression time(QStringLiteral("_TIME([0-9]{1,10})$"));
    const QRegularExpressionMatch match = time.match(startupId);
    return match.hasMatch() ? match.captured(1).toUInt() : 0;
}

void X11WindowActivation::activate(QWindow *window, const QString &startupId)
{
    Display *display = ownDisplay();
    if (!display) {
        window->requestActivate();
        return;
    }
    Time time = timeFromStartupId(startupId);
    if (time == 0)
        time = serverTime(display);
    const Window id = Window(window->winId());

    const unsigned long userTime = time;
    XChangeProperty(display, id, XInternAtom(display, "_NET_WM_USER_TIME", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char *>(&userTime), 1);

    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = id;
    event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1; // source: an application
    event.xclient.data.l[1] = long(time);
    event.xclient.data.l[2] = 0;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
    XFlush(display);
}
