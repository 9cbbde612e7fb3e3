#pragma once

#include "platform/SelectionSource.h"

#include <QDBusConnection>
#include <QString>

#include <chrono>
#include <optional>

// Reads the selection of the focused accessible of the active application
// over the AT-SPI accessibility bus. Speaks the bus protocol directly with
// asynchronous calls and short time-outs, so a hung application never
// blocks the event loop.
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

    QCoro::Task<Result> read() override;

    // Turns accessibility on for the desktop; true when the bus answered.
    static bool enableAccessibility(std::chrono::milliseconds timeout);
    // Whether accessibility is on (the "trusted" test of this platform).
    static QCoro::Task<bool> isEnabled(std::chrono::milliseconds timeout);

    struct ObjectRef {
        QString service;
        QString path;
    };

private:
    QCoro::Task<std::optional<QDBusConnection>> connection();
    QCoro::Task<Result> readOnce(QDBusConnection bus, bool &noActiveWindow);

    Limits m_limits;
    std::optional<QDBusConnection> m_bus;
};
