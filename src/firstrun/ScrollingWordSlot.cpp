#include "firstrun/ScrollingWordSlot.h"

ScrollingWordSlot::ScrollingWordSlot(const QString &text, QObject *parent)
    : QObject(parent)
    , m_text(text)
{
}

void ScrollingWordSlot::setGeometry(qreal x, qreal width)
{
    if (x == m_x && width == m_width)
        return;
    m_x = x;
    m_width = width;
    Q_EMIT geometryChanged();
}

void ScrollingWordSlot::setOnScreen(bool onScreen)
{
    if (onScreen == m_onScreen)
        return;
    m_onScreen = onScreen;
    Q_EMIT onScreenChanged();
}

void ScrollingWordSlot::setOpacity(qreal opacity)
{
    if (opacity == m_opacity)
        return;
    m_opacity = opacity;
    Q_EMIT opacityChanged();
}
