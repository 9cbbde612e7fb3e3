#include "platform/OverlayWindowHints.h"

#include "platform/x11/X11WindowHints.h"

#include <QCursor>
#include <QGuiApplication>
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

void OverlayWindowHints::activate(QWindow &window)
{
    window.raise();
    window.requestActivate();
}

std::unique_ptr<OverlayWindowHints> OverlayWindowHints::create()
{
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return std::make_unique<X11WindowHints>();
    return std::make_unique<OverlayWindowHints>();
}
