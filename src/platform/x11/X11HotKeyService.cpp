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

// The modifier bit a key is mapped to (Num Lock is usually Mod2, Alt Mod1,
// Super Mod4), as the server's modifier map says; `fallback` when unmapped.
unsigned int modifierMaskOf(Display *dpy, KeySym keysym, unsigned int fallback)
{
    const KeyCode key = XKeysymToKeycode(dpy, keysym);
    XModifierKeymap *map = key ? XGetModifierMapping(dpy) : nullptr;
    if (!map)
        return fallback;
    unsigned int mask = 0;
    // Shift, Lock and Control are fixed; only Mod1..Mod5 are looked up.
    for (int modifier = 3; modifier < 8 && !mask; ++modifier) {
        for (int k = 0; k < map->max_keypermod; ++k) {
            if (map->modifiermap[modifier * map->max_keypermod + k] == key)
                mask = 1u << modifier;
        }
    }
    XFreeModifiermap(map);
    return mask ? mask : fallback;
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

    // X keycodes are evdev codes + 8 and end at 255; the server may know fewer.
    int minKeycode = 0, maxKeycode = 0;
    XDisplayKeycodes(dpy, &minKeycode, &maxKeycode);
    const int keycode = chord.evdevCode + 8;
    if (keycode < minKeycode || keycode > maxKeycode || keycode > 255) {
        logLine(
            LogChannel::Shell,
            QStringLiteral("[Vocarta] The shortcut %1 has no key on this X server.").arg(chord.displayText));
        return;
    }
    m_keycode = quint8(keycode);
    const unsigned int altMask = modifierMaskOf(dpy, XK_Alt_L, Mod1Mask);
    const unsigned int superMask = modifierMaskOf(dpy, XK_Super_L, Mod4Mask);
    m_relevantModifiers = ShiftMask | ControlMask | altMask | superMask;
    m_modifiers = (chord.shift ? ShiftMask : 0) | (chord.control ? ControlMask : 0) |
                  (chord.alt ? altMask : 0) | (chord.super ? superMask : 0);
    m_numLockMask = modifierMaskOf(dpy, XK_Num_Lock, 0);
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
        logTimingStep("hot key: released");
        Q_EMIT released();
        return true;
    }
    if ((key->state & m_relevantModifiers) != m_modifiers)
        return false;
    // Auto-repeat: with detectable auto-repeat (Qt asks for it) repeats are
    // presses without releases; without it, each repeat's release carries the
    // same time as the following press.
    const bool repeat = m_keyDown || (m_lastReleaseTime != 0 && key->time == m_lastReleaseTime);
    m_keyDown = true;
    if (!repeat) {
        logTimingStep("hot key: pressed");
        Q_EMIT activated(key->time);
    }
    return true;
}
