#pragma once

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QtQml/qqmlregistration.h>

// The beat the scrolling words move on: while running, `clock` advances
// ticksPerSecond times a second by the time that really passed, so late
// ticks do not slow the motion; a stall longer than a few ticks counts as a
// few ticks only, and a stopped beat resumes where it stood. A timer rather
// than an animation: an animation wakes the program at the frame rate only
// to find nothing new to show.
class ScrollingWordsBeat : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool running READ running WRITE setRunning NOTIFY runningChanged)
    Q_PROPERTY(int ticksPerSecond READ ticksPerSecond WRITE setTicksPerSecond NOTIFY ticksPerSecondChanged)
    Q_PROPERTY(qreal clock READ clock NOTIFY clockChanged)

public:
    using QObject::QObject;

    // The longest step one tick takes, in ticks.
    static constexpr int longestStep = 4;

    bool running() const { return m_running; }
    void setRunning(bool running);
    int ticksPerSecond() const { return m_ticksPerSecond; }
    void setTicksPerSecond(int ticks);
    // Seconds of motion so far.
    qreal clock() const { return m_clock; }

Q_SIGNALS:
    void runningChanged();
    void ticksPerSecondChanged();
    void clockChanged();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void restart();

    bool m_running = false;
    int m_ticksPerSecond = 30;
    qreal m_clock = 0;
    QBasicTimer m_timer;
    QElapsedTimer m_sinceTick;
};
