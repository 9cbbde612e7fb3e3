#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <optional>

class QDBusMessage;

// Remembers the object that last reported gaining the keyboard focus on the
// accessibility bus, so a read need not walk a large application's tree.
// Applications send focus events only once someone has registered for them.
class AtspiFocusTracker : public QObject {
    Q_OBJECT

public:
    struct Focus {
        QString service;
        QString path;
    };

    explicit AtspiFocusTracker(QDBusConnection bus, QObject *parent = nullptr);
    ~AtspiFocusTracker() override;

    const std::optional<Focus> &lastFocused() const { return m_lastFocused; }

Q_SIGNALS:
    void focusChanged();

private Q_SLOTS:
    void onStateChanged(const QDBusMessage &message);

private:
    QDBusConnection m_bus;
    std::optional<Focus> m_lastFocused;
};
