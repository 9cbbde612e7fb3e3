#pragma once

class QQmlEngine;

// Makes the overlay's models and own items known to QML ("Vocarta.Models" 1.0),
// and picks the default scene graph (below). Call before the first window.
void registerOverlayQmlTypes();

// The program draws with Qt Quick's software renderer unless QT_QUICK_BACKEND
// asks otherwise: measured here, it opens the overlay faster, repaints only
// what changed (an animated view costs a few percent of a core instead of
// more than one under a software OpenGL), and takes a third of the memory.
void selectDefaultSceneGraph();

// Adds the image providers the overlay's views use ("flag") to an engine.
void addOverlayImageProviders(QQmlEngine &engine);
