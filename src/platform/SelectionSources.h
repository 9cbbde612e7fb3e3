#pragma once

#include <QCoroTask>

#include <memory>
#include <vector>

class AtspiSelectionSource;
class SelectionSource;
class X11PrimarySelectionSource;

// The selection sources of this desktop, in the order they are asked:
// accessibility, then X11 PRIMARY on X11 sessions.
class SelectionSources {
public:
    SelectionSources();
    ~SelectionSources();

    std::vector<SelectionSource *> all() const;
    // Sets org.a11y.Status.IsEnabled; true when the accessibility bus answered.
    // Never blocks: it may run before the shortcut is registered. It touches
    // no source, so it may end after they are gone.
    static QCoro::Task<bool> enableAccessibility();
    // Starts following focus events in the background, so the first capture
    // already knows the focused object. Once accessibility is on.
    void followFocus();

private:
    std::unique_ptr<AtspiSelectionSource> m_accessibility;
    std::unique_ptr<X11PrimarySelectionSource> m_primary;
};
