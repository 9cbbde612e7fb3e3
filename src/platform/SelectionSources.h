#pragma once

#include <vector>

class SelectionSource;

// The selection sources of this desktop, in the order they are asked.
namespace SelectionSources {
// Process-wide instances: accessibility, then X11 PRIMARY on X11 sessions.
std::vector<SelectionSource *> system();
// Sets org.a11y.Status.IsEnabled; true when the accessibility bus answered.
// Then starts following focus events in the background, so the first
// capture already knows the focused object.
bool enableAccessibility();
} // namespace SelectionSources
