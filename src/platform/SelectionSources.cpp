#include "platform/SelectionSources.h"

#include "platform/atspi/AtspiSelectionSource.h"
#include "platform/x11/X11FrontProcess.h"
#include "platform/x11/X11PrimarySelectionSource.h"

#include <QCoreApplication>

namespace SelectionSources {

namespace {

// On an X11 session the window manager names the window in front; through
// XWayland it knows only the X11 windows, so it is not asked there.
AtspiSelectionSource::FrontProcess frontProcess()
{
    const bool waylandSession =
        qgetenv("XDG_SESSION_TYPE") == "wayland" || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (waylandSession || !X11FrontProcess::isAvailable())
        return {};
    return [] { return X11FrontProcess::processId(); };
}

// Never destroyed: its bus connection must not be torn down after the
// application object is gone.
AtspiSelectionSource &sharedAccessibility()
{
    static auto *accessibility = new AtspiSelectionSource(AtspiSelectionSource::Limits{}, frontProcess());
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
