#pragma once

#include "FakeDeployment.h"
#include "FakeSyncEndpoint.h"
#include "TestSupport.h"

#include "backend/ConvexClient.h"
#include "sync/Clock.h"
#include "sync/ConvexSubscriptionClient.h"
#include "sync/Sleeper.h"

#include <QList>
#include <QTimer>

#include <memory>

// Waits that end only when the test says so, so back-off can be followed step
// by step; every requested wait is kept for inspection.
class ManualSleeper : public Sleeper {
public:
    std::shared_ptr<PendingSleep> sleep(std::chrono::milliseconds duration) override
    {
        auto pending = std::make_shared<PendingSleep>(duration);
        requested->append(pending);
        return pending;
    }
    // The waits not yet over (neither finished nor cancelled).
    QList<std::shared_ptr<PendingSleep>> running() const
    {
        QList<std::shared_ptr<PendingSleep>> result;
        for (const auto &sleep : *requested)
            if (!sleep->isOver())
                result.append(sleep);
        return result;
    }
    // Shared so the test keeps the list after handing the sleeper to the client.
    std::shared_ptr<QList<std::shared_ptr<PendingSleep>>> requested =
        std::make_shared<QList<std::shared_ptr<PendingSleep>>>();
};

// Every wait ends on the next turn of the event loop.
class ImmediateSleeper : public Sleeper {
public:
    std::shared_ptr<PendingSleep> sleep(std::chrono::milliseconds duration) override
    {
        auto pending = std::make_shared<PendingSleep>(duration);
        std::weak_ptr<PendingSleep> weak = pending;
        QTimer::singleShot(0, [weak]() {
            if (auto sleep = weak.lock())
                sleep->finish();
        });
        return pending;
    }
};

class FixedClock : public Clock {
public:
    qint64 millisecondsSinceEpoch() const override { return 1765000000123; }
};

// A fake deployment with its sync endpoint, the HTTP client pointing at it,
// and a sync client with injected timing.
struct SyncTestRig {
    explicit SyncTestRig(std::unique_ptr<Sleeper> sleeper = std::make_unique<ImmediateSleeper>())
    {
        endpoint.attachTo(deployment);
        http = std::make_unique<ConvexClient>(deployment.url());
        client = std::make_unique<ConvexSubscriptionClient>(
            ConvexSubscriptionClient::syncUrl(deployment.url()), *http, std::move(sleeper),
            std::make_unique<FixedClock>());
    }

    LogCapture log;
    FakeDeployment deployment;
    FakeSyncEndpoint endpoint;
    std::unique_ptr<ConvexClient> http;
    std::unique_ptr<ConvexSubscriptionClient> client;

    QStringList syncLines() const { return log.lines(LogChannel::Sync); }
    int linesStartingWith(const QString &prefix) const
    {
        int count = 0;
        for (const QString &line : syncLines())
            if (line.startsWith(prefix))
                ++count;
        return count;
    }
};
