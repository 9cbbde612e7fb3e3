#pragma once

#include <QtGlobal>

#include <optional>

// The process that owns the window in front: the window with the keyboard
// focus (else the window manager's _NET_ACTIVE_WINDOW) and its _NET_WM_PID.
// Unlike the toolkits' own "active" state, it does not change while a key
// grab holds the keyboard.
namespace X11FrontProcess {
// True on an X11 display reached through Qt's xcb platform.
bool isAvailable();
// Absent when no window is in front or it does not say its process.
std::optional<quint32> processId();
} // namespace X11FrontProcess
