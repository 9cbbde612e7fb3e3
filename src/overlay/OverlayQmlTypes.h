#pragma once

class QQmlEngine;

// Makes the overlay's models and own items known to QML ("Vocarta.Models" 1.0).
void registerOverlayQmlTypes();

// Adds the image providers the overlay's views use ("flag") to an engine.
void addOverlayImageProviders(QQmlEngine &engine);
