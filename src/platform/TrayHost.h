#pragma once

#include <QCoroTask>

#include <chrono>

// Whether the desktop shows tray icons. Qt decides once, when the first tray
// icon is made, whether a StatusNotifier host is there; at a login start the
// panel may come up after us, so we wait (bounded) before making the icon.
namespace TrayHost {

// A StatusNotifierWatcher with a registered host, or an XEmbed system tray.
QCoro::Task<bool> isAvailable();

// Polls until a tray appears or `limit` passes; true when one is there.
QCoro::Task<bool> waitForHost(std::chrono::milliseconds limit);

} // namespace TrayHost
