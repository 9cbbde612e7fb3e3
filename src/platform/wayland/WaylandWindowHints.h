#pragma once

#include "platform/OverlayWindowHints.h"

// The overlay window under a Wayland compositor. A client cannot place its
// windows or read the pointer's global position there, so the overlay asks
// for the full-screen state on one output instead of covering a screen's
// geometry, and the compositor maps it where the user is. Activation goes
// through xdg-activation with the token that came with the request (a second
// start's XDG_ACTIVATION_TOKEN, the portal's activation token); the X11
// window-manager hints have no counterpart and are left out. Nor can the
// window be kept out of the window switcher and the overview: xdg-shell has no
// skip-taskbar state, and GNOME's compositor offers no layer-shell (and a
// Qt::Tool window is kept small and transient there).
class WaylandWindowHints : public OverlayWindowHints {
public:
    WaylandWindowHints();
    QScreen *focusedScreen() override;
    void showOn(QWindow &window, QScreen &screen) override;
    bool canWarmUpUnseen() const override { return false; }
    void activate(QWindow &window, const WindowActivation::Request &request = {}) override;
    bool raiseNeedsToken() const override { return true; }
};
