#pragma once

class QQmlComponent;
class QQmlEngine;

// How the program's views are loaded and drawn.
namespace ViewEngine {

// The QML engine every window of the program loads its view with (the
// add-card overlay, the sign-in and the settings window), so they share one
// type and component cache, one Theme and the image providers. Made on first
// use, after the application object, and kept until the process ends, like
// the windows made from it.
QQmlEngine &shared();

// The program draws with Qt Quick's software renderer unless QT_QUICK_BACKEND
// asks otherwise: measured here, it opens the overlay faster, repaints only
// what changed (an animated view costs a few percent of a core instead of
// more than one under a software OpenGL), and takes a third of the memory.
// Call before the first window is made.
void selectDefaultSceneGraph();

// Says which view did not load, with the engine's errors.
void logLoadFailure(const QQmlComponent &component);

} // namespace ViewEngine
