#pragma once

#include <chrono>
#include <functional>

// Waits between retries: they start at `initial`, double after every wait up
// to `cap`, and each is spread by +-50 % so that the clients who lost the
// server at the same moment do not all come back at the same moment.
class Backoff {
public:
    // A number drawn uniformly from [0, 1).
    using Random = std::function<double()>;

    Backoff(std::chrono::milliseconds initial, std::chrono::milliseconds cap);

    // The next wait, with its jitter; the one after it is twice as long (up to the cap).
    std::chrono::milliseconds next();
    // The next wait starts again from `initial`.
    void reset();

    // Tests pin the jitter; by default it is drawn from the system's generator.
    void setRandom(Random random);

private:
    std::chrono::milliseconds m_initial;
    std::chrono::milliseconds m_cap;
    std::chrono::milliseconds m_nominal;
    Random m_random;
};
