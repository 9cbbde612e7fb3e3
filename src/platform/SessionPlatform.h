#pragma once

#include <QByteArray>
#include <QProcessEnvironment>

// Which of Qt's display platforms the program asks for when the user has not
// chosen one (QT_QPA_PLATFORM). On GNOME's Wayland session through Xwayland:
// mutter then draws the windows' title bars as on every GNOME window (Qt 6.4
// on Wayland draws a frame of its own), and keeps the overlay out of Alt+Tab
// and the overview, which GNOME offers no Wayland client. Elsewhere Qt's own
// choice stands.
namespace SessionPlatform {

// The value for QT_QPA_PLATFORM, or empty to leave Qt's choice.
QByteArray preferred(const QProcessEnvironment &environment);

// Sets QT_QPA_PLATFORM for this process from `preferred`, before the
// application object exists; returns whether it did.
bool choose();

} // namespace SessionPlatform
