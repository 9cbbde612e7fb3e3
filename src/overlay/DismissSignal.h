#pragma once

#include <QObject>

// How the panel asks the open overlay to close: it sets `triggered`, the
// overlay watches it and plays its exit animation.
class DismissSignal : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool triggered READ triggered WRITE setTriggered NOTIFY triggeredChanged)
public:
    using QObject::QObject;

    bool triggered() const { return m_triggered; }
    void setTriggered(bool triggered);

Q_SIGNALS:
    void triggeredChanged(bool triggered);

private:
    bool m_triggered = false;
};
