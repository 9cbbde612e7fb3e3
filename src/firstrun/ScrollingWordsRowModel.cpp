#include "firstrun/ScrollingWordsRowModel.h"

#include <cmath>

void ScrollingWordsRowModel::setInitialOffset(qreal offset)
{
    if (qFuzzyCompare(offset, m_initialOffset) || !std::isfinite(offset))
        return;
    m_initialOffset = offset;
    Q_EMIT initialOffsetChanged();
}

bool ScrollingWordsRowModel::offerWidth(qreal width)
{
    if (!(width > 0) || !std::isfinite(width) || started())
        return false;
    m_setWidth = width;
    m_startOffset = -std::fmod(m_initialOffset, width);
    Q_EMIT startedChanged();
    return true;
}
