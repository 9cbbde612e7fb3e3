#include "platform/WindowActivation.h"

#include "platform/ActivationToken.h"
#include "platform/x11/X11WindowActivation.h"

#include <QGuiApplication>
#include <QWindow>

QString WindowActivation::tokenFromEnvironment()
{
    return QString::fromLocal8Bit(ActivationToken::fromEnvironment());
}

void WindowActivation::activate(QWindow *window, const QString &activationToken)
{
    if (!window)
        return;
    if (window->visibility() == QWindow::Minimized)
        window->showNormal();
    else
        window->show();
    window->raise();
    if (QGuiApplication::platformName() == u"xcb") {
        X11WindowActivation::activate(window, activationToken);
        return;
    }
    // Wayland: Qt passes this variable to xdg-activation on the next request.
    if (!activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    window->requestActivate();
}
