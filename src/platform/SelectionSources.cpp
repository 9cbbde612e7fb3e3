#include "platform/SelectionSources.h"

#include "platform/atspi/AtspiSelectionSource.h"
#include "platform/x11/X11PrimarySelectionSource.h"

namespace SelectionSources {

std::vector<SelectionSource *> system()
{
    // Never destroyed: their bus and X11 connections must not be torn down
    // after the application object is gone.
    static auto *accessibility = new AtspiSelectionSource;
    std::vector<SelectionSource *> sources{accessibility};
    if (X11PrimarySelectionSource::isAvailable()) {
        static auto *primary = new X11PrimarySelectionSource;
        sources.push_back(primary);
    }
    return sources;
}

bool enableAccessibility()
{
    return AtspiSelectionSource::enableAccessibility(std::chrono::milliseconds(1000));
}

} // namespace SelectionSources
