#pragma once

#include <QColor>
#include <QEasingCurve>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

#include <vector>

class ScrollingWordSlot;

// One band of scrolling words, moved on a beat: the band holds three copies of
// its words side by side. The first complete set of positive word widths fixes
// the loop (one copy's length); the band starts at -(initialOffset mod length)
// and travels one length per `duration` seconds, forever, in whole device
// pixels. Each word in view brightens and fades at random moments; a word out
// of view keeps its place in its pulse. Everything follows `time`, the beat's
// clock in seconds: it changes only on the beat's ticks and stands still while
// the band is not shown, so the band does no work between ticks. Words set
// once the loop has started and later widths are ignored.
class ScrollingWordsRowModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QStringList words READ words WRITE setWords NOTIFY wordsChanged)
    Q_PROPERTY(QList<QObject *> wordSlots READ wordSlots NOTIFY wordsChanged)
    Q_PROPERTY(qreal initialOffset READ initialOffset WRITE setInitialOffset NOTIFY initialOffsetChanged)
    Q_PROPERTY(qreal duration MEMBER m_duration)
    Q_PROPERTY(qreal spacing MEMBER m_spacing)
    Q_PROPERTY(qreal viewWidth MEMBER m_viewWidth)
    Q_PROPERTY(qreal devicePixelRatio MEMBER m_devicePixelRatio)
    // The words' colour at full opacity.
    Q_PROPERTY(QColor color MEMBER m_color)
    Q_PROPERTY(qreal time READ time WRITE setTime NOTIFY timeChanged)
    Q_PROPERTY(qreal setWidth READ setWidth NOTIFY startedChanged)
    Q_PROPERTY(qreal startOffset READ startOffset NOTIFY startedChanged)
    Q_PROPERTY(qreal endOffset READ endOffset NOTIFY startedChanged)
    Q_PROPERTY(bool started READ started NOTIFY startedChanged)
    Q_PROPERTY(qreal x READ x NOTIFY xChanged)

public:
    // A word rests at restOpacity, rises to peakOpacity and falls back; the
    // drawn opacity moves in steps of 1/opacitySteps (invisible at these
    // opacities), so a pulse redraws its word a few dozen times, not every frame.
    static constexpr qreal restOpacity = 0.1;
    static constexpr qreal peakOpacity = 0.55;
    static constexpr qreal opacitySteps = 64;

    explicit ScrollingWordsRowModel(QObject *parent = nullptr);

    QStringList words() const { return m_words; }
    void setWords(const QStringList &words);
    QList<QObject *> wordSlots() const { return m_slots; }
    qreal initialOffset() const { return m_initialOffset; }
    void setInitialOffset(qreal offset);
    qreal time() const { return m_time; }
    void setTime(qreal seconds);
    qreal setWidth() const { return m_setWidth; }
    qreal startOffset() const { return m_startOffset; }
    qreal endOffset() const { return m_startOffset - m_setWidth; }
    bool started() const { return m_setWidth > 0; }
    // Where the band is drawn: left of the row by this much (negative).
    qreal x() const { return m_x; }

    // The widths measured for one copy of the words, in order. Returns true
    // when it started the loop.
    Q_INVOKABLE bool offerWidths(const QList<qreal> &wordWidths);

    // For tests: the random waits between pulses come from this seed.
    void seed(quint32 value) { m_random.seed(value); }

Q_SIGNALS:
    void wordsChanged();
    void initialOffsetChanged();
    void timeChanged();
    void startedChanged();
    void xChanged();

private:
    // Where one word is in its pulse: waiting `wait` seconds, then rising, then falling.
    struct Pulse {
        qreal wait = 0;
        qreal elapsed = 0;
    };

    qreal nextWait();
    qreal level(const Pulse &pulse) const;
    void update(qreal elapsed);

    QStringList m_words;
    QList<QObject *> m_slots;
    std::vector<Pulse> m_pulses;
    qreal m_initialOffset = 0;
    qreal m_duration = 1;
    qreal m_spacing = 0;
    qreal m_viewWidth = 0;
    qreal m_devicePixelRatio = 1;
    QColor m_color = Qt::white;
    qreal m_time = 0;
    qreal m_startTime = 0;
    qreal m_setWidth = 0;
    qreal m_startOffset = 0;
    qreal m_x = 0;
    QEasingCurve m_rise{QEasingCurve::BezierSpline};
    QEasingCurve m_fall{QEasingCurve::BezierSpline};
    QRandomGenerator m_random{QRandomGenerator::global()->generate()};
};
