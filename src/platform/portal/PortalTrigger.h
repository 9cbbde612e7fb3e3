#pragma once

#include "platform/HotKeyService.h"

#include <QString>

// Key combinations in the global-shortcuts portal's words. We ask in the
// portal's own trigger format ("CTRL+ALT+k"); desktops answer with a
// description of their own ("Ctrl+Alt+K" from KDE, "Press <Control><Alt>k"
// from GNOME), which is only meant to be shown.
namespace PortalTrigger {

// The trigger to ask for, e.g. "CTRL+SHIFT+k".
QString fromChord(const HotKeyService::Chord &chord);

// True when the desktop's `description` names exactly `chord`. A description
// that cannot be read counts as another combination: it is then shown as the
// desktop wrote it.
bool describes(const QString &description, const HotKeyService::Chord &chord);

} // namespace PortalTrigger
