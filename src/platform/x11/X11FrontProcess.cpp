#include "platform/x11/X11FrontProcess.h"

#include "platform/x11/Xcb.h"

#include <utility>

namespace {

using Xcb::atom;
using Xcb::connection;
template <class T> using XcbReply = Xcb::Reply<T>;

// One 32-bit value of a property, when it has exactly that shape.
std::optional<quint32> cardinal(xcb_connection_t *c, xcb_get_property_cookie_t cookie, xcb_atom_t type)
{
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
    if (!reply || reply->type != type || reply->format != 32 ||
        xcb_get_property_value_length(reply.get()) < 4)
        return std::nullopt;
    return *static_cast<quint32 *>(xcb_get_property_value(reply.get()));
}

std::optional<quint32> cardinal(xcb_connection_t *c, xcb_window_t window, xcb_atom_t property,
                                xcb_atom_t type)
{
    return cardinal(c, xcb_get_property(c, 0, window, property, type, 0, 1), type);
}
} // namespace

namespace X11FrontProcess {

bool isAvailable()
{
    return connection() != nullptr;
}

std::optional<quint32> processId()
{
    xcb_connection_t *c = connection();
    if (!c)
        return std::nullopt;
    // Atoms live as long as the server: ask once.
    static const xcb_atom_t activeAtom = atom(c, "_NET_ACTIVE_WINDOW");
    static const xcb_atom_t pidAtom = atom(c, "_NET_WM_PID");
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen || pidAtom == XCB_ATOM_NONE)
        return std::nullopt;
    // The keyboard focus first: it moves at the very moment the
    // application learns of it, while the window manager names the active
    // window a little later. A key grab leaves it where it is.
    // The focus seldom moves between two presses: the process of the window
    // that had it last time is asked in the same round trip and taken only
    // if the focus is still there. Both are the server's answers of this
    // moment, so a window id since reused by another program names that one.
    static xcb_window_t lastFocus = XCB_WINDOW_NONE;
    const xcb_get_input_focus_cookie_t focusCookie = xcb_get_input_focus(c);
    std::optional<xcb_get_property_cookie_t> lastFocusPid;
    if (lastFocus != XCB_WINDOW_NONE)
        lastFocusPid = xcb_get_property(c, 0, lastFocus, pidAtom, XCB_ATOM_CARDINAL, 0, 1);
    XcbReply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, focusCookie, nullptr));
    xcb_window_t window = focus ? focus->focus : xcb_window_t(XCB_WINDOW_NONE);
    const xcb_window_t guessed = std::exchange(lastFocus, window);
    if (lastFocusPid) {
        const auto pid = cardinal(c, *lastFocusPid, XCB_ATOM_CARDINAL);
        if (window == guessed && pid && *pid != 0)
            return pid;
    }
    // Up from the focused window to the client window that names its process.
    for (int depth = 0; depth < 16 && window != XCB_WINDOW_NONE && window != screen->root &&
                        window != XCB_INPUT_FOCUS_POINTER_ROOT;
         ++depth) {
        if (const auto pid = cardinal(c, window, pidAtom, XCB_ATOM_CARDINAL); pid && *pid != 0)
            return pid;
        XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        window = tree ? tree->parent : xcb_window_t(XCB_WINDOW_NONE);
    }
    if (activeAtom == XCB_ATOM_NONE)
        return std::nullopt;
    const auto active = cardinal(c, screen->root, activeAtom, XCB_ATOM_WINDOW);
    if (!active || *active == XCB_WINDOW_NONE)
        return std::nullopt;
    const auto pid = cardinal(c, *active, pidAtom, XCB_ATOM_CARDINAL);
    if (!pid || *pid == 0)
        return std::nullopt;
    return pid;
}

} // namespace X11FrontProcess
