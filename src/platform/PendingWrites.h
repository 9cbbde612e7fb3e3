#pragma once

#include <QObject>

#include <QCoroTask>

// Counts a secret store's saves and removals under way, so that the program
// can let them finish before it exits.
class PendingWrites : public QObject {
    Q_OBJECT
public:
    // Held for the length of one write.
    class Scope {
    public:
        explicit Scope(PendingWrites &writes);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        PendingWrites &m_writes;
    };

    Scope begin() { return Scope(*this); }
    int count() const { return m_count; }
    // Ends once no write is under way. The count is checked again a turn of
    // the event loop after it drops to zero: a write that was the first of two
    // (a token pair) has by then let its caller start the second one.
    QCoro::Task<void> untilNone();

Q_SIGNALS:
    void settled();

private:
    int m_count = 0;
};
