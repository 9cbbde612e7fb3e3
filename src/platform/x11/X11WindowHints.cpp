#include "platform/x11/X11WindowHints.h"

#include "platform/x11/X11WindowActivation.h"
#include "platform/x11/Xcb.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QHash>
#include <QRect>
#include <QScreen>
#include <QWindow>

#include <QtGui/qguiapplication_platform.h>
#include <optional>

#undef signals
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {
// Requests on a window that disappears in between (the active window of
// another program) fail with BadWindow; Xlib's default handler would end the
// process, so queries run under this one.
int ignoreErrors(Display *, XErrorEvent *)
{
    return 0;
}

class ScopedErrorTrap {
public:
    explicit ScopedErrorTrap(Display *display)
        : m_display(display)
    {
        XSync(m_display, False);
        m_previous = XSetErrorHandler(ignoreErrors);
    }
    ~ScopedErrorTrap()
    {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
    }
    ScopedErrorTrap(const ScopedErrorTrap &) = delete;
    ScopedErrorTrap &operator=(const ScopedErrorTrap &) = delete;

private:
    Display *m_display;
    int (*m_previous)(Display *, XErrorEvent *) = nullptr;
};

Display *qtDisplay()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

// What the window manager last set as our windows' WM_STATE, followed
// through its PropertyNotify events: a show then need not ask the server,
// which is busy with the shortcut's grab at that moment.
class WmStateWatch : public QAbstractNativeEventFilter {
public:
    explicit WmStateWatch(xcb_connection_t *c)
        : m_c(c)
        , m_wmState(Xcb::atom(c, "WM_STATE"))
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~WmStateWatch() override
    {
        // Qt's connection goes with the application.
        if (!QCoreApplication::instance())
            return;
        for (Entry &entry : m_windows)
            forgetPending(entry);
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
    WmStateWatch(const WmStateWatch &) = delete;
    WmStateWatch &operator=(const WmStateWatch &) = delete;

    bool isWithdrawn(xcb_window_t window)
    {
        Entry &entry = m_windows[window];
        if (entry.pending) {
            learn(entry, read(*entry.pending));
            entry.pending.reset();
        }
        if (entry.known == Known::Unknown) {
            // Asked now: the server's answer holds whatever came before.
            entry.known = read(request(window));
            entry.sinceMap = entry.sinceMap && entry.known != Known::Managed;
        }
        return entry.known == Known::Withdrawn;
    }

    // About to be mapped: what was known no longer holds until the window
    // manager says so.
    void mapping(xcb_window_t window)
    {
        Entry &entry = m_windows[window];
        forgetPending(entry);
        entry.known = Known::Unknown;
        entry.sinceMap = true;
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & ~0x80) != XCB_PROPERTY_NOTIFY)
            return false;
        const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event);
        const auto it = m_windows.find(notify->window);
        if (notify->atom != m_wmState || it == m_windows.end())
            return false;
        forgetPending(*it);
        if (notify->state == XCB_PROPERTY_DELETE) {
            learn(*it, Known::Withdrawn);
        } else {
            // Read now, without waiting: the answer is in long before the
            // next show takes it.
            it->known = Known::Unknown;
            it->pending = request(notify->window);
        }
        return false;
    }

private:
    enum class Known { Unknown, Withdrawn, Managed };
    struct Entry {
        Known known = Known::Unknown;
        std::optional<xcb_get_property_cookie_t> pending;
        // Mapped, and the window manager not yet heard to manage it: a
        // "withdrawn" heard now may be from before the map.
        bool sinceMap = false;
    };

    static void learn(Entry &entry, Known known)
    {
        if (known == Known::Managed)
            entry.sinceMap = false;
        entry.known = known == Known::Withdrawn && entry.sinceMap ? Known::Unknown : known;
    }

    xcb_get_property_cookie_t request(xcb_window_t window)
    {
        return xcb_get_property(m_c, 0, window, m_wmState, m_wmState, 0, 2);
    }

    // The window manager keeps WM_STATE (Normal or Iconic) on a window it
    // manages and removes it, or sets it to Withdrawn, once it has let go.
    Known read(xcb_get_property_cookie_t cookie)
    {
        Xcb::Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(m_c, cookie, nullptr));
        if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
            return Known::Withdrawn;
        const quint32 state = *static_cast<const quint32 *>(xcb_get_property_value(reply.get()));
        return state == WithdrawnState ? Known::Withdrawn : Known::Managed;
    }

    void forgetPending(Entry &entry)
    {
        if (entry.pending)
            xcb_discard_reply(m_c, entry.pending->sequence);
        entry.pending.reset();
    }

    xcb_connection_t *m_c;
    xcb_atom_t m_wmState;
    QHash<xcb_window_t, Entry> m_windows;
};
} // namespace

struct X11WindowHints::Private {
    // A connection of our own for round trips (timestamps, the active
    // window), so Qt's event queue is never read behind its back.
    Display *own = nullptr;
    Window timeWindow = 0;
    Atom timeAtom = 0;
    std::unique_ptr<WmStateWatch> wmState;

    WmStateWatch *wmStateWatch()
    {
        if (!wmState) {
            if (xcb_connection_t *c = Xcb::connection())
                wmState = std::make_unique<WmStateWatch>(c);
        }
        return wmState.get();
    }

    Display *ownDisplay()
    {
        if (!own) {
            own = XOpenDisplay(nullptr);
            if (own) {
                XSetWindowAttributes attributes{};
                attributes.event_mask = PropertyChangeMask;
                timeWindow = XCreateWindow(own, DefaultRootWindow(own), -1, -1, 1, 1, 0, CopyFromParent,
                                           InputOnly, CopyFromParent, CWEventMask, &attributes);
                timeAtom = XInternAtom(own, "_VOCARTA_TIMESTAMP", False);
            }
        }
        return own;
    }

    ~Private()
    {
        if (own) {
            if (timeWindow)
                XDestroyWindow(own, timeWindow);
            XCloseDisplay(own);
        }
    }
};

X11WindowHints::X11WindowHints()
    : d(std::make_unique<Private>())
{
}

X11WindowHints::~X11WindowHints() = default;

unsigned long X11WindowHints::serverTime()
{
    Display *display = d->ownDisplay();
    if (!display)
        return CurrentTime;
    // An empty append changes nothing but makes the server send a
    // PropertyNotify carrying its current time.
    XChangeProperty(display, d->timeWindow, d->timeAtom, XA_INTEGER, 32, PropModeAppend, nullptr, 0);
    XEvent event;
    XWindowEvent(display, d->timeWindow, PropertyChangeMask, &event);
    return event.xproperty.time;
}

QScreen *X11WindowHints::focusedScreen()
{
    // With one screen there is nothing to ask: the question costs several
    // round trips while the server is busy with the shortcut's grab.
    if (const QList<QScreen *> screens = QGuiApplication::screens(); screens.size() == 1)
        return screens.first();
    Display *display = d->ownDisplay();
    if (!display)
        return OverlayWindowHints::focusedScreen();

    const Window root = DefaultRootWindow(display);
    const Atom activeAtom = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    std::optional<QRect> activeRect;
    {
        ScopedErrorTrap trap(display);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char *data = nullptr;
        Window active = 0;
        if (XGetWindowProperty(display, root, activeAtom, 0, 1, False, XA_WINDOW, &type, &format, &count,
                               &remaining, &data) == Success &&
            data) {
            if (type == XA_WINDOW && format == 32 && count == 1)
                active = *reinterpret_cast<Window *>(data);
            XFree(data);
        }
        if (active) {
            Window unusedRoot = 0;
            int x = 0;
            int y = 0;
            unsigned int width = 0;
            unsigned int height = 0;
            unsigned int border = 0;
            unsigned int depth = 0;
            Window child = 0;
            int rootX = 0;
            int rootY = 0;
            if (XGetGeometry(display, active, &unusedRoot, &x, &y, &width, &height, &border, &depth) &&
                XTranslateCoordinates(display, active, root, 0, 0, &rootX, &rootY, &child))
                activeRect = QRect(rootX, rootY, int(width), int(height));
        }
    }
    if (activeRect && activeRect->isValid()) {
        // Window coordinates are in device pixels; screens in Qt's logical ones.
        for (QScreen *screen : QGuiApplication::screens()) {
            const qreal ratio = screen->devicePixelRatio();
            const QRect native(screen->geometry().topLeft(), screen->geometry().size() * ratio);
            if (native.contains(activeRect->center()))
                return screen;
        }
    }
    return OverlayWindowHints::focusedScreen();
}

void X11WindowHints::prepareForShow(QWindow &window)
{
    Display *display = qtDisplay();
    if (!display)
        return;
    const Window id = Window(window.winId());
    if (WmStateWatch *watch = d->wmStateWatch())
        watch->mapping(xcb_window_t(id));

    const unsigned long allDesktops = 0xFFFFFFFFul;
    XChangeProperty(display, id, XInternAtom(display, "_NET_WM_DESKTOP", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char *>(&allDesktops), 1);

    // Qt adds its own states (ABOVE for stay-on-top) to what it finds here
    // when it maps the window, so these survive the show. A window merely as
    // large as the screen is not enough for every window manager: mutter
    // keeps it out of the top bar unless it is in the full-screen state.
    const Atom states[] = {
        XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False),
        XInternAtom(display, "_NET_WM_STATE_ABOVE", False),
        XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False),
        XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False),
    };
    XChangeProperty(display, id, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(states), int(std::size(states)));
    XFlush(display);
}

bool X11WindowHints::isWithdrawn(QWindow &window)
{
    WmStateWatch *watch = d->wmStateWatch();
    return !watch || watch->isWithdrawn(xcb_window_t(window.winId()));
}

void X11WindowHints::activate(QWindow &window, const WindowActivation::Request &request)
{
    Display *display = qtDisplay();
    if (!display) {
        OverlayWindowHints::activate(window, request);
        return;
    }
    unsigned long now = request.x11Time;
    if (now == 0)
        now = X11WindowActivation::timeFromStartupId(request.token);
    if (now == 0)
        now = serverTime();
    const Window id = Window(window.winId());
    const Window root = DefaultRootWindow(display);

    // The user's last action on this window is the press that asked for it.
    // Qt keeps that time on a separate window named by _NET_WM_USER_TIME_WINDOW
    // where the window manager supports it; the manager reads it there.
    Window userTimeWindow = id;
    {
        // Both windows are our own: no error to trap.
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(display, id, XInternAtom(display, "_NET_WM_USER_TIME_WINDOW", False), 0, 1,
                               False, XA_WINDOW, &type, &format, &count, &remaining, &data) == Success &&
            data) {
            if (type == XA_WINDOW && format == 32 && count == 1 && *reinterpret_cast<Window *>(data) != 0)
                userTimeWindow = *reinterpret_cast<Window *>(data);
            XFree(data);
        }
        XChangeProperty(display, userTimeWindow, XInternAtom(display, "_NET_WM_USER_TIME", False),
                        XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<const unsigned char *>(&now), 1);
    }

    // On Qt's own connection, so the window manager sees it after the map
    // request Qt has just sent.
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = id;
    event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1; // from an application
    event.xclient.data.l[1] = long(now);
    event.xclient.data.l[2] = 0;
    XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XRaiseWindow(display, id);
    XFlush(display);
}
