#pragma once

#include "platform/Browser.h"

// The default browser as the desktop names it (xdg-open, or the portal).
class DesktopServicesBrowser : public Browser {
public:
    bool openUrl(const QUrl &url) override;
};
