#include "platform/SelectionSources.h"

#include "platform/atspi/AtspiSelectionSource.h"
#include "platform/x11/X11FrontProcess.h"
#include "platform/x11/X11PrimarySelectionSource.h"

#include <QCoreApplication>

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

} // namespace

SelectionSources::SelectionSources()
    : m_accessibility(std::make_unique<AtspiSelectionSource>(AtspiSelectionSource::Limits{}, frontProcess()))
{
    if (X11PrimarySelectionSource::isAvailable())
        m_primary = std::make_unique<X11PrimarySelectionSource>();
}

SelectionSources::~SelectionSources() = default;

std::vector<SelectionSource *> SelectionSources::all() const
{
    std::vector<SelectionSource *> sources{m_accessibility.get()};
    if (m_primary)
        sources.push_back(m_primary.get());
    return sources;
}

QCoro::Task<bool> SelectionSources::enableAccessibility()
{
    return AtspiSelectionSource::enableAccessibility(std::chrono::milliseconds(1000));
}

void SelectionSources::followFocus()
{
    // Nothing waits for the answer: a failed start is tried again by the
    // first read.
    QCoro::connect(m_accessibility->start(), qApp, [](bool) {});
}
