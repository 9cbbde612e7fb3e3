#pragma once

#include <memory>

class QScreen;
class QWindow;

// What the desktop needs to know about the add-card overlay's window beyond
// Qt's own flags: on every workspace, above other windows, out of the task
// bar and pager, and activated although another program was in front.
class OverlayWindowHints {
public:
    virtual ~OverlayWindowHints();

    // The screen the overlay should cover: the one with the active window,
    // else the one under the pointer, else the primary screen.
    virtual QScreen *focusedScreen();
    // Called before every mapping of the window (the window manager forgets
    // these states when a window is withdrawn).
    virtual void prepareForShow(QWindow &window);
    // Whether the window manager has let go of the window after a hide, so
    // it can be mapped again (mapping it before that can leave it unmapped).
    virtual bool isWithdrawn(QWindow &window);
    // Gives the shown window the keyboard focus.
    virtual void activate(QWindow &window);

    // The mechanism of this session (X11 when running on xcb).
    static std::unique_ptr<OverlayWindowHints> create();
};
