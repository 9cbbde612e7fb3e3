#include "platform/wayland/WaylandWindowHints.h"

#include "platform/Log.h"

#include <QGuiApplication>
#include <QOpenGLContext>
#include <QPointer>
#include <QQuickWindow>
#include <QScreen>

#include <memory>

WaylandWindowHints::WaylandWindowHints()
{
    // Qt's Wayland plugin sets up EGL (loading the driver, a round trip of
    // its own to the compositor) the first time anything asks what OpenGL
    // can do, which the first show of a window does even though the overlay
    // draws in software. The hints are made when the overlay is prepared at
    // start-up: asking here takes those tens of milliseconds off the first
    // opening. The window cannot be drawn unseen here (canWarmUpUnseen).
    if (QGuiApplication::instance())
        QOpenGLContext::supportsThreadedOpenGL();
}

QScreen *WaylandWindowHints::focusedScreen()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.size() == 1)
        return screens.first();
    // The pointer's global position is known only over our own surfaces, so
    // it says nothing about where the user is: the output of a window of
    // ours that has the focus does, else the compositor's first output.
    if (QWindow *focus = QGuiApplication::focusWindow(); focus && focus->screen())
        return focus->screen();
    return QGuiApplication::primaryScreen();
}

void WaylandWindowHints::showOn(QWindow &window, QScreen &screen)
{
    // Geometry is the compositor's business; the full-screen state on one
    // output is what a client can ask for.
    window.setScreen(&screen);
    logTimingStep("overlay: show full-screen");
    logFirstFrameAndFocus(window);
    window.showFullScreen();
}

void WaylandWindowHints::activate(QWindow &window, const WindowActivation::Request &request)
{
    // The compositor ignores activation of a surface that has no content
    // yet: ask once the first frame is on screen.
    auto activateNow = [token = request.token](QWindow &shown) {
        // Qt hands this variable to xdg-activation while it handles the
        // request; without one it asks the compositor for a token itself.
        // Left set, it would be handed on to programs started later.
        if (!token.isEmpty())
            qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
        logTimingStep(token.isEmpty() ? "overlay: activate without token" : "overlay: activate with token");
        shown.requestActivate();
        qunsetenv("XDG_ACTIVATION_TOKEN");
    };
    auto *quick = qobject_cast<QQuickWindow *>(&window);
    if (!quick) {
        activateNow(window);
        return;
    }
    QPointer<QQuickWindow> target(quick);
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection =
        QObject::connect(quick, &QQuickWindow::frameSwapped, quick, [target, connection, activateNow] {
            QObject::disconnect(*connection);
            if (target)
                activateNow(*target);
        });
    // A window already on screen draws nothing new by itself: ask for a frame.
    quick->update();
}
