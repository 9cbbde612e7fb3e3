#include "platform/SystemHotKeyService.h"

#include "platform/Log.h"
#include "platform/WhileAlive.h"
#include "platform/portal/PortalHotKeyService.h"
#include "platform/x11/X11HotKeyService.h"

#include <QDBusConnection>

namespace {
// The portal is D-Bus activated; give it time to start, but not forever.
constexpr std::chrono::milliseconds portalProbeTimeout{3000};
} // namespace

SystemHotKeyService::SystemHotKeyService(QObject *parent)
    : HotKeyService(parent)
{
}

SystemHotKeyService::~SystemHotKeyService() = default;

void SystemHotKeyService::registerHotKey(const Chord &chord)
{
    m_wanted = chord;
    if (m_backend) {
        m_backend->registerHotKey(chord);
        return;
    }
    if (m_mechanism.isEmpty() && !m_choosing) {
        m_choosing = true;
        QCoro::connect(choose(), this, [] {});
    }
}

void SystemHotKeyService::unregisterHotKey()
{
    m_wanted.reset();
    if (m_backend)
        m_backend->unregisterHotKey();
}

QCoro::Task<void> SystemHotKeyService::choose()
{
    bool portal = false;
    try {
        portal = co_await whileAlive(
            this, PortalHotKeyService::isAvailable(QDBusConnection::sessionBus(), portalProbeTimeout));
    } catch (const std::exception &) {
        portal = false;
    }
    if (portal)
        adopt(std::make_unique<PortalHotKeyService>(QDBusConnection::sessionBus()), QStringLiteral("portal"));
    else if (X11HotKeyService::isAvailable())
        adopt(std::make_unique<X11HotKeyService>(), QStringLiteral("x11"));
    else
        adopt(nullptr, QStringLiteral("none"));
}

void SystemHotKeyService::adopt(std::unique_ptr<HotKeyService> backend, const QString &mechanism)
{
    m_choosing = false;
    m_mechanism = mechanism;
    m_backend = std::move(backend);
    if (!m_backend) {
        logLine(LogChannel::Shell, noMechanismMessage);
        return;
    }
    connect(m_backend.get(), &HotKeyService::activated, this, &HotKeyService::activated);
    connect(m_backend.get(), &HotKeyService::released, this, &HotKeyService::released);
    if (m_wanted)
        m_backend->registerHotKey(*m_wanted);
}
