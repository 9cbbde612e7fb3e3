#include "platform/DesktopServicesBrowser.h"

#include <QDesktopServices>

DesktopServicesBrowser &DesktopServicesBrowser::shared()
{
    static DesktopServicesBrowser browser;
    return browser;
}

bool DesktopServicesBrowser::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}
