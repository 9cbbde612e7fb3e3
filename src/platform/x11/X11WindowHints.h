#pragma once

#include "platform/OverlayWindowHints.h"

#include <memory>

// The overlay window's treatment under an X11 window manager (EWMH):
// _NET_WM_DESKTOP 0xFFFFFFFF and _NET_WM_STATE FULLSCREEN, ABOVE,
// SKIP_TASKBAR and SKIP_PAGER before mapping; activation through _NET_WM_USER_TIME and
// _NET_ACTIVE_WINDOW with the time of the key press that asked (else the
// time in a startup id, else a fresh server time), because the time Qt
// remembers predates the hot key (its events go to the root window's grab)
// and focus-stealing prevention refuses a request that looks older than the
// user's last action.
class X11WindowHints : public OverlayWindowHints {
public:
    X11WindowHints();
    ~X11WindowHints() override;

    QScreen *focusedScreen() override;
    void prepareForShow(QWindow &window) override;
    bool isWithdrawn(QWindow &window) override;
    void activate(QWindow &window, const WindowActivation::Request &request = {}) override;

    // The X server's current time, read through a private connection.
    unsigned long serverTime();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
