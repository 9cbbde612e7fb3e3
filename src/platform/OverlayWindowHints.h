#pragma once

#include "platform/WindowActivation.h"

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
    // Shows the window over the whole of `screen`.
    virtual void showOn(QWindow &window, QScreen &screen);
    // The same, for a mapping the user is not meant to notice: the window
    // manager leaves the focus where it is.
    void showUnfocusedOn(QWindow &window, QScreen &screen);
    // Whether the window can be drawn once at start-up without being seen
    // (a one-pixel shape). Where placement is the compositor's, mapping it
    // would show a window for a moment and take the focus.
    virtual bool canWarmUpUnseen() const { return true; }
    // Gives the shown window the keyboard focus, with what came with the
    // request that opened it.
    virtual void activate(QWindow &window, const WindowActivation::Request &request = {});
    // Whether the desktop refuses to raise a mapped window over another
    // program's without a token from the request (a new map still gets the focus).
    virtual bool raiseNeedsToken() const { return false; }

    // The mechanism of this session (X11 on xcb, Wayland on wayland).
    static std::unique_ptr<OverlayWindowHints> create();

    // Timing steps (vocarta.timing): the window's first expose, frame and
    // focus after a show.
    static void logFirstFrameAndFocus(QWindow &window);
};
