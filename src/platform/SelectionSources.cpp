#include "platform/SelectionSources.h"

#include "platform/atspi/AtspiSelectionSource.h"
#include "platform/x11/X11PrimarySelectionSource.h"

#include <QCoreApplication>

namespace SelectionSources {

namespace {

// Never destroyed: its bus connection must not be torn down after the
// application object is gone.
AtspiSelectionSource &sharedAccessibility()
{
    static auto *accessibility = new AtspiSelectionSource;
    return *accessibility;
}

} // namespace

std::vector<SelectionSource *> system()
{
    std::vector<SelectionSource *> sources{&sharedAccessibility()};
    if (X11PrimarySelectionSource::isAvailable()) {
        static auto *primary = new X11PrimarySelectionSource;
        sources.push_back(primary);
    }
    return sources;
}

bool enableAccessibility()
{
    const bool usable = AtspiSelectionSource::enableAccessibility(std::chrono::milliseconds(1000));
    if (usable && qApp) {
        QCoro::connect(sharedAccessibility().start(), qApp, [](bool) {});
    }
    return usable;
}

} // namespace SelectionSources
