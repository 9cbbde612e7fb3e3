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

void ScrollingWordSlot::setOpacity(qreal opacity, const QColor &color)
{
    QColor drawn = color;
    drawn.setAlphaF(float(color.alphaF() * opacity));
    if (opacity == m_opacity && drawn == m_color)
        return;
    m_opacity = opacity;
    m_color = drawn;
    Q_EMIT opacityChanged();
}
