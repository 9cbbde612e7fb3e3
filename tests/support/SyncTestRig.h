#pragma once

#include "FakeDeployment.h"
#include "FakeSyncEndpoint.h"
#include "TestSleepers.h"
#include "TestSupport.h"

#include "backend/ConvexClient.h"
#include "backend/DeploymentUrl.h"
#include "backend/Records.h"
#include "sync/Clock.h"
#include "sync/ConvexSubscriptionClient.h"
#include "sync/Sleeper.h"

#include <QList>
#include <QTimer>

#include <memory>
#include <optional>

// The limit of every wait for a condition.
constexpr int timeout = 20000;

// The decks' names, in order.
inline QStringList names(const QList<Deck> &decks)
{
    QStringList result;
    for (const Deck &deck : decks)
        result.append(deck.name);
    return result;
}

class FixedClock : public Clock {
public:
    qint64 millisecondsSinceEpoch() const override { return 1765000000123; }
};

// A fake deployment with its sync endpoint, the HTTP client pointing at it,
// and a sync client with injected timing.
struct SyncTestRig {
    // Without a sleeper of the test's own, every reconnection wait ends at once
    // and is kept in `waits`.
    explicit SyncTestRig(std::unique_ptr<Sleeper> sleeper = {})
    {
        if (!sleeper) {
            auto immediate = std::make_unique<ImmediateSleeper>();
            waits = immediate->requested;
            sleeper = std::move(immediate);
        }
        endpoint.attachTo(deployment);
        http = std::make_unique<ConvexClient>(deployment.url());
        client =
            std::make_unique<ConvexSubscriptionClient>(DeploymentUrl::syncUrl(deployment.url()), *http,
                                                       std::move(sleeper), std::make_unique<FixedClock>());
        // Waits as the back-off names them; the jitter has a test of its own.
        client->setJitter(noJitter);
    }

    static double noJitter() { return 0.5; }

    LogCapture log;
    FakeDeployment deployment;
    FakeSyncEndpoint endpoint;
    std::unique_ptr<ConvexClient> http;
    std::unique_ptr<ConvexSubscriptionClient> client;
    std::shared_ptr<QList<std::chrono::milliseconds>> waits;

    // The reconnection waits asked of the default sleeper, in milliseconds
    // (not the silence watchdog's).
    QList<qint64> reconnectWaits() const
    {
        QList<qint64> result;
        for (const auto wait : *waits)
            if (wait != ConvexSubscriptionClient::defaultSilenceLimit)
                result.append(wait.count());
        return result;
    }

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
