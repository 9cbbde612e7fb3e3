#include "platform/DesktopServicesBrowser.h"

#include <QDesktopServices>

bool DesktopServicesBrowser::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}
