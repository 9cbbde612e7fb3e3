#include "platform/x11/X11HotKeyService.h"

#include "platform/Log.h"

#include <QGuiApplication>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace {

Display *display()
{
    if (!qGuiApp)
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

// NumLock is usually Mod2, but the server's modifier map says for sure.
unsigned int numLockMask(Display *dpy)
{
    unsigned int mask = 0;
    XModifierKeymap *map = XGetModifierMapping(dpy);
    if (!map)
        return 0;
    const KeyCode numLock = XKeysymToKeycode(dpy, XK_Num_Lock);
    for (int modifier = 0; modifier < 8 && numLock; ++modifier) {
        for (int k = 0; k < map->max_keypermod; ++k) {
            if (map->modifiermap[modifier * map->max_keypermod + k] == numLock)
                mask = 1u << modifier;
        }
    }
    XFreeModifiermap(map);
    return mask;
}

// Xlib reports errors through one process-wide handler; it is swapped in only
// around our own requests, after an XSync has flushed everything earlier.
int s_refusals = 0;
int countGrabErrors(Display *, XErrorEvent *event)
{
    if (event->error_code == BadAccess || event->error_code == BadValue)
        ++s_refusals;
    return 0;
}

constexpr unsigned int relevantModifiers = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;

} // namespace

X11HotKeyService::X11HotKeyService(QObject *parent)
    : HotKeyService(parent)
{
    if (qGuiApp)
        qGuiApp->installNativeEventFilter(this);
}

X11HotKeyService::~X11HotKeyService()
{
    unregisterHotKey();
    if (qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

bool X11HotKeyService::isAvailable()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !display())
        return false;
    const QByteArray sessionType = qgetenv("XDG_SESSION_TYPE");
    return sessionType != "wayland" && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void X11HotKeyService::registerHotKey(const Chord &chord)
{
    Display *dpy = display();
    if (!dpy) {
        logLine(LogChannel::Shell, QStringLiteral("[Vocarta] Global shortcuts need an X11 display."));
        return;
    }
    if (m_registered)
        unregisterHotKey();

    m_keycode = quint8(chord.evdevCode + 8);
    m_modifiers = (chord.shift ? ShiftMask : 0) | (chord.control ? ControlMask : 0) |
                  (chord.alt ? Mod1Mask : 0) | (chord.super ? Mod4Mask : 0);
    m_numLockMask = numLockMask(dpy);
    m_keyDown = false;
    m_refusedVariants = 0;

    const Window root = DefaultRootWindow(dpy);
    XSync(dpy, False);
    XErrorHandler previous = XSetErrorHandler(countGrabErrors);
    for (unsigned int variant : lockVariants()) {
        s_refusals = 0;
        XGrabKey(dpy, m_keycode, m_modifiers | variant, root, True, GrabModeAsync, GrabModeAsync);
        XSync(dpy, False);
        if (s_refusals > 0)
            ++m_refusedVariants;
    }
    XSetErrorHandler(previous);
    m_registered = true;

    if (m_refusedVariants > 0) {
        logLine(LogChannel::Shell,
                QStringLiteral("[Vocarta] The shortcut %1 could not be registered: another program uses it.")
                    .arg(chord.displayText));
    }
}

void X11HotKeyService::unregisterHotKey()
{
    if (!m_registered)
        return;
    m_registered = false;
    m_keyDown = false;
    Display *dpy = display();
    if (!dpy)
        return;
    // Ungrabbing a variant another client holds is harmless: the server only
    // releases grabs of the requesting client.
    for (unsigned int variant : lockVariants())
        XUngrabKey(dpy, m_keycode, m_modifiers | variant, DefaultRootWindow(dpy));
    XFlush(dpy);
}

QList<unsigned int> X11HotKeyService::lockVariants() const
{
    // The grab must hold whatever the state of Caps Lock and Num Lock.
    if (m_numLockMask == 0)
        return {0, LockMask};
    return {0, LockMask, m_numLockMask, m_numLockMask | LockMask};
}

bool X11HotKeyService::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (!m_registered || eventType != "xcb_generic_event_t")
        return false;
    auto *event = static_cast<xcb_generic_event_t *>(message);
    const quint8 type = event->response_type & ~0x80;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    auto *key = reinterpret_cast<xcb_key_press_event_t *>(event);
    if (key->detail != m_keycode)
        return false;

    if (type == XCB_KEY_RELEASE) {
        if (!m_keyDown)
            return false;
        m_keyDown = false;
        m_lastReleaseTime = key->time;
        Q_EMIT released();
        return true;
    }
    if ((key->state & relevantModifiers) != m_modifiers)
        return false;
    // Auto-repeat: with detectable auto-repeat (Qt asks for it) repeats are
    // presses without releases; without it, each repeat's release carries the
    // same time as the following press.
    const bool repeat = m_keyDown || (m_lastReleaseTime != 0 && key->time == m_lastReleaseTime);
    m_keyDown = true;
    if (!repeat)
        Q_EMIT activated(key->time);
    return true;
}
