#include "platform/SelectionSources.h"

#include "platform/atspi/AtspiSelectionSource.h"
#include "platform/x11/X11PrimarySelectionSource.h"

namespace SelectionSources {

std::vector<SelectionSource *> system()
{
    static AtspiSelectionSource accessibility;
    std::vector<SelectionSource *> sources{&accessibility};
    if (X11PrimarySelectionSource::isAvailable()) {
        static X11PrimarySelectionSource primary;
        sources.push_back(&primary);
    }
    return sources;
}

bool enableAccessibility()
{
    return AtspiSelectionSource::enableAccessibility(std::chrono::milliseconds(1000));
}

} // namespace SelectionSources
