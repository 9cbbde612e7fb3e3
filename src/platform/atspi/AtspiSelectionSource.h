#pragma once

#include "platform/SelectionSource.h"

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

// Reads the selection of the focused accessible of the active application
// over the AT-SPI accessibility bus. Speaks the bus protocol directly with
// asynchronous calls and short time-outs, so a hung application never
// blocks the event loop.
class AtspiFocusTracker;

class AtspiSelectionSource : public SelectionSource {
public:
    struct Limits {
        // Each call to another application.
        std::chrono::milliseconds callTimeout{300};
        // The whole read, retries included.
        std::chrono::milliseconds budget{1500};
        // How long to look again while no window is active (GTK drops the
        // state while a key grab is held, and regains it shortly after).
        std::chrono::milliseconds activeWindowRetry{400};
        int maxDepth = 40;
        int maxNodes = 3000;
    };

    AtspiSelectionSource();
    explicit AtspiSelectionSource(Limits limits);
    ~AtspiSelectionSource() override;

    QCoro::Task<Result> read() override;

    // Turns accessibility on for the desktop; true when the bus answered.
    static bool enableAccessibility(std::chrono::milliseconds timeout);
    // Whether accessibility is on (the "trusted" test of this platform).
    static QCoro::Task<bool> isEnabled(std::chrono::milliseconds timeout);

    struct ObjectRef {
        QString service;
        QString path;
    };

    // Connects to the accessibility bus and starts following focus events;
    // the first read does it too. Start early so applications report focus.
    QCoro::Task<bool> start();
    // Whether the last read found the focused object from a focus event
    // rather than by walking the window (for tests and diagnostics).
    bool lastReadUsedFocusEvent() const { return m_lastReadUsedFocusEvent; }

private:
    QCoro::Task<std::optional<QDBusConnection>> connection();
    QCoro::Task<Result> readOnce(QDBusConnection bus, QDeadlineTimer deadline, bool &noActiveWindow);

    Limits m_limits;
    std::optional<QDBusConnection> m_bus;
    std::unique_ptr<AtspiFocusTracker> m_focus;
    bool m_lastReadUsedFocusEvent = false;
};
