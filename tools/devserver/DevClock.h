#pragma once

#include <QObject>

#include <optional>

// Wall-clock time in milliseconds since the epoch. Tests switch it to manual
// time and move it forward; every timer that depends on it listens to moved().
class DevClock : public QObject {
    Q_OBJECT

public:
    explicit DevClock(QObject *parent = nullptr);

    qint64 nowMs() const;

    void setManual(qint64 nowMs);
    void advance(qint64 ms);
    bool isManual() const { return m_manualNow.has_value(); }

Q_SIGNALS:
    void moved();

private:
    std::optional<qint64> m_manualNow;
};
