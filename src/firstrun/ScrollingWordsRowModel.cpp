#include "firstrun/ScrollingWordsRowModel.h"

#include "firstrun/ScrollingWordSlot.h"

#include <QPointF>

#include <algorithm>
#include <cmath>

namespace {

// Three copies: whatever the offset within one loop, the row's width is covered.
constexpr int copies = 3;
// A pulse: ease-out rise, ease-in fall, then a random wait before the next one.
constexpr qreal riseSeconds = 1.05;
constexpr qreal fallSeconds = 1.5;
constexpr qreal shortestWait = 2;
constexpr qreal longestWait = 8;

} // namespace

ScrollingWordsRowModel::ScrollingWordsRowModel(QObject *parent)
    : QObject(parent)
{
    m_rise.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
    m_fall.addCubicBezierSegment(QPointF(0.42, 0), QPointF(1, 1), QPointF(1, 1));
}

void ScrollingWordsRowModel::setWords(const QStringList &words)
{
    if (started() || words == m_words)
        return;
    m_words = words;
    qDeleteAll(m_slots);
    m_slots.clear();
    m_pulses.clear();
    for (int copy = 0; copy < copies; ++copy) {
        for (const QString &word : words) {
            auto *slot = new ScrollingWordSlot(word, this);
            slot->setOpacity(restOpacity, m_color);
            m_slots.append(slot);
            m_pulses.push_back(Pulse{nextWait(), 0});
        }
    }
    Q_EMIT wordsChanged();
}

void ScrollingWordsRowModel::setInitialOffset(qreal offset)
{
    if (qFuzzyCompare(offset, m_initialOffset) || !std::isfinite(offset))
        return;
    m_initialOffset = offset;
    Q_EMIT initialOffsetChanged();
}

bool ScrollingWordsRowModel::offerWidths(const QList<qreal> &wordWidths)
{
    if (started() || m_words.isEmpty() || wordWidths.size() != m_words.size())
        return false;
    if (!std::all_of(wordWidths.begin(), wordWidths.end(), [](qreal w) { return w > 0 && std::isfinite(w); }))
        return false;
    qreal left = 0;
    for (int index = 0; index < m_slots.size(); ++index) {
        const qreal width = wordWidths.at(index % wordWidths.size());
        static_cast<ScrollingWordSlot *>(m_slots.at(index))->setGeometry(left, width);
        left += width + m_spacing;
    }
    m_setWidth = left / copies - m_spacing;
    m_startOffset = -std::fmod(m_initialOffset, m_setWidth);
    m_startTime = m_time;
    Q_EMIT startedChanged();
    update(0);
    return true;
}

void ScrollingWordsRowModel::setTime(qreal seconds)
{
    if (seconds == m_time || !std::isfinite(seconds))
        return;
    const qreal elapsed = std::max<qreal>(0, seconds - m_time);
    m_time = seconds;
    Q_EMIT timeChanged();
    if (started())
        update(elapsed);
}

qreal ScrollingWordsRowModel::nextWait()
{
    return shortestWait + m_random.bounded(longestWait - shortestWait);
}

qreal ScrollingWordsRowModel::level(const Pulse &pulse) const
{
    const qreal t = pulse.elapsed - pulse.wait;
    if (t < 0)
        return restOpacity;
    if (t < riseSeconds)
        return restOpacity + (peakOpacity - restOpacity) * m_rise.valueForProgress(t / riseSeconds);
    return peakOpacity -
           (peakOpacity - restOpacity) * m_fall.valueForProgress((t - riseSeconds) / fallSeconds);
}

void ScrollingWordsRowModel::update(qreal elapsed)
{
    const qreal loopSeconds = m_duration > 0 ? m_duration : 1;
    const qreal progress = std::fmod(m_time - m_startTime, loopSeconds) / loopSeconds;
    const qreal offset = m_startOffset - m_setWidth * progress;
    const qreal ratio = m_devicePixelRatio > 0 ? m_devicePixelRatio : 1;
    const qreal x = std::round(offset * ratio) / ratio;
    if (x != m_x) {
        m_x = x;
        Q_EMIT xChanged();
    }
    for (int index = 0; index < m_slots.size(); ++index) {
        auto *slot = static_cast<ScrollingWordSlot *>(m_slots.at(index));
        const qreal left = m_x + slot->x();
        slot->setOnScreen(left + slot->width() > 0 && left < m_viewWidth);
        if (!slot->onScreen())
            continue;
        Pulse &pulse = m_pulses[std::size_t(index)];
        pulse.elapsed += elapsed;
        while (pulse.elapsed >= pulse.wait + riseSeconds + fallSeconds) {
            pulse.elapsed -= pulse.wait + riseSeconds + fallSeconds;
            pulse.wait = nextWait();
        }
        const qreal stepped = std::round(level(pulse) * opacitySteps) / opacitySteps;
        slot->setOpacity(std::clamp(stepped, restOpacity, peakOpacity), m_color);
    }
}
