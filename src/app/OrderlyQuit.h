#pragma once

#include <QObject>

#include <QCoroTask>

#include <chrono>
#include <functional>

// The one way out of the event loop. However the program is asked to end
// (the quit item, SIGTERM, the desktop session's end, which Qt delivers as a
// Quit event), the secret store's pending writes get up to `bound` to finish,
// so a rotated token pair is kept whole; then the loop ends.
class OrderlyQuit : public QObject {
    Q_OBJECT
public:
    using Writes = std::function<QCoro::Task<void>()>;

    explicit OrderlyQuit(std::chrono::milliseconds bound, QObject *parent = nullptr);
    ~OrderlyQuit() override;

    // What to wait for; none until the program's objects exist.
    void setWrites(Writes writes) { m_writes = std::move(writes); }
    // Several requests make one departure.
    void request();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QCoro::Task<void> leave();

    std::chrono::milliseconds m_bound;
    Writes m_writes;
    bool m_leaving = false;
    bool m_writesDone = false;
};
