#include "sync/Backoff.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

Backoff::Backoff(std::chrono::milliseconds initial, std::chrono::milliseconds cap)
    : m_initial(initial)
    , m_cap(cap)
    , m_nominal(initial)
{
    setRandom({});
}

std::chrono::milliseconds Backoff::next()
{
    const double nominal = double(m_nominal.count());
    m_nominal = std::min(m_nominal * 2, m_cap);
    const double factor = 0.5 + std::clamp(m_random(), 0.0, 1.0);
    return std::chrono::milliseconds(std::llround(nominal * factor));
}

void Backoff::reset()
{
    m_nominal = m_initial;
}

void Backoff::setRandom(Random random)
{
    if (!random)
        random = [] { return QRandomGenerator::global()->generateDouble(); };
    m_random = std::move(random);
}
