#include "platform/SessionPlatform.h"

#include <QStringList>

namespace SessionPlatform {

QByteArray preferred(const QProcessEnvironment &environment)
{
    if (!environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        return {};
    if (environment.value(QStringLiteral("XDG_SESSION_TYPE")) != QLatin1String("wayland"))
        return {};
    // Xwayland is there when the session hands out an X display.
    if (environment.value(QStringLiteral("DISPLAY")).isEmpty())
        return {};
    // "GNOME", "ubuntu:GNOME", "GNOME-Classic:GNOME".
    const QStringList desktops =
        environment.value(QStringLiteral("XDG_CURRENT_DESKTOP")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (!desktops.contains(QLatin1String("GNOME"), Qt::CaseInsensitive))
        return {};
    // Wayland still, should the X display not answer.
    return QByteArrayLiteral("xcb;wayland");
}

bool choose()
{
    const QByteArray platform = preferred(QProcessEnvironment::systemEnvironment());
    if (platform.isEmpty())
        return false;
    qputenv("QT_QPA_PLATFORM", platform);
    return true;
}

} // namespace SessionPlatform
