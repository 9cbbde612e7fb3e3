#include "XTestKeyboard.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {
Display *display(void *handle)
{
    return static_cast<Display *>(handle);
}
} // namespace

XTestKeyboard::XTestKeyboard()
    : m_display(XOpenDisplay(nullptr))
{
    // The first lookup fetches the keyboard map from the server; do it here,
    // outside every timed run.
    if (m_display)
        XKeysymToKeycode(display(m_display), XK_Control_L);
}

XTestKeyboard::~XTestKeyboard()
{
    if (m_display)
        XCloseDisplay(display(m_display));
}

void XTestKeyboard::pressCtrlAlt(char letter)
{
    Display *d = display(m_display);
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, XK_Control_L), True, CurrentTime);
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, XK_Alt_L), True, CurrentTime);
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, KeySym(letter)), True, CurrentTime);
    XFlush(d);
}

void XTestKeyboard::tapShift()
{
    Display *d = display(m_display);
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, XK_Shift_L), True, CurrentTime);
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, XK_Shift_L), False, CurrentTime);
    XFlush(d);
}

void XTestKeyboard::releaseCtrlAlt(char letter)
{
    Display *d = display(m_display);
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, KeySym(letter)), False, CurrentTime);
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, XK_Alt_L), False, CurrentTime);
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, XK_Control_L), False, CurrentTime);
    XFlush(d);
}

unsigned long XTestKeyboard::inputFocus()
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display(m_display), &focus, &revert);
    return focus == PointerRoot ? 0 : focus;
}
