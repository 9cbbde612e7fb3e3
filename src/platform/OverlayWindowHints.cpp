#include "platform/OverlayWindowHints.h"

#include "platform/Log.h"
#include "platform/wayland/WaylandWindowHints.h"
#include "platform/x11/X11WindowHints.h"

#include <QCursor>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QScreen>
#include <QWindow>

OverlayWindowHints::~OverlayWindowHints() = default;

QScreen *OverlayWindowHints::focusedScreen()
{
    if (QScreen *underPointer = QGuiApplication::screenAt(QCursor::pos()))
        return underPointer;
    return QGuiApplication::primaryScreen();
}

void OverlayWindowHints::prepareForShow(QWindow &)
{
}

bool OverlayWindowHints::isWithdrawn(QWindow &)
{
    return true;
}

void OverlayWindowHints::showOn(QWindow &window, QScreen &screen)
{
    window.setScreen(&screen);
    window.setGeometry(screen.geometry());
    prepareForShow(window);
    logTimingStep("overlay: show");
    logFirstFrameAndFocus(window);
    window.show();
}

void OverlayWindowHints::showUnfocusedOn(QWindow &window, QScreen &screen)
{
    // Qt's platform plugins read it while mapping. On X11 it becomes a
    // _NET_WM_USER_TIME of 0, which window managers (mutter among them)
    // take as "map it without the focus".
    window.setProperty("_q_showWithoutActivating", true);
    showOn(window, screen);
    window.setProperty("_q_showWithoutActivating", QVariant());
}

namespace {
// Logs the window's exposes until it is hidden again.
class ExposeLogger : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed())
            logTimingStep("overlay: exposed");
        return false;
    }
};
} // namespace

void OverlayWindowHints::logFirstFrameAndFocus(QWindow &window)
{
    if (!lcTiming().isDebugEnabled())
        return;
    auto *exposes = new ExposeLogger(&window);
    window.installEventFilter(exposes);
    QObject::connect(&window, &QWindow::visibleChanged, exposes, [exposes](bool visible) {
        if (!visible)
            exposes->deleteLater();
    });
    if (auto *quick = qobject_cast<QQuickWindow *>(&window)) {
        QObject::connect(
            quick, &QQuickWindow::beforeSynchronizing, quick, [] { logTimingStep("overlay: first sync"); },
            static_cast<Qt::ConnectionType>(Qt::DirectConnection | Qt::SingleShotConnection));
        QObject::connect(
            quick, &QQuickWindow::beforeRendering, quick, [] { logTimingStep("overlay: first render"); },
            static_cast<Qt::ConnectionType>(Qt::DirectConnection | Qt::SingleShotConnection));
        QObject::connect(
            quick, &QQuickWindow::frameSwapped, quick, [] { logTimingStep("overlay: first frame swapped"); },
            Qt::SingleShotConnection);
    }
    QObject::connect(
        &window, &QWindow::activeChanged, &window, [] { logTimingStep("overlay: active changed"); },
        Qt::SingleShotConnection);
}

void OverlayWindowHints::activate(QWindow &window, const WindowActivation::Request &)
{
    window.raise();
    window.requestActivate();
}

std::unique_ptr<OverlayWindowHints> OverlayWindowHints::create()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb"))
        return std::make_unique<X11WindowHints>();
    if (platform.startsWith(QLatin1String("wayland")))
        return std::make_unique<WaylandWindowHints>();
    return std::make_unique<OverlayWindowHints>();
}
