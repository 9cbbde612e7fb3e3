#include "platform/SystemHotKeyService.h"

#include "platform/Log.h"
#include "platform/WhileAlive.h"
#include "platform/portal/PortalHotKeyService.h"
#include "platform/x11/X11HotKeyService.h"

#include <QDBusConnection>
#include <QTimer>

namespace {
// The portal is D-Bus activated; give it time to start, but not forever.
constexpr std::chrono::milliseconds portalProbeTimeout{3000};

bool desktopIs(const char *name)
{
    const QList<QByteArray> desktops = qgetenv("XDG_CURRENT_DESKTOP").split(':');
    for (const QByteArray &desktop : desktops) {
        if (desktop.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
} // namespace

SystemHotKeyService::SystemHotKeyService(QObject *parent)
    : HotKeyService(parent)
{
    // Chosen at once, not at the first registration: the shortcut section
    // must know whether a recorder can work here before anything is recorded.
    // From the event loop, though: the portal's answer can be in before the
    // first await, and a choice made inside the constructor would announce
    // itself before anyone could have connected.
    QTimer::singleShot(0, this, [this] { QCoro::connect(choose(), this, [] {}); });
}

SystemHotKeyService::~SystemHotKeyService()
{
    if (m_backend)
        m_backend->disconnect(this);
}

void SystemHotKeyService::registerHotKey(const Chord &chord)
{
    m_wanted = chord;
    if (m_backend)
        m_backend->registerHotKey(chord);
}

void SystemHotKeyService::unregisterHotKey()
{
    m_wanted.reset();
    if (m_backend)
        m_backend->unregisterHotKey();
}

QString SystemHotKeyService::whereToBindCommands()
{
    if (desktopIs("KDE"))
        //: Where KDE Plasma binds commands to keys; use the names of Plasma's own settings in your language.
        return tr("System Settings › Shortcuts (add a new command)");
    if (desktopIs("GNOME"))
        //: Where GNOME binds commands to keys; use the names of GNOME's own settings in your language.
        return tr("Settings › Keyboard › View and Customize Shortcuts › Custom Shortcuts");
    if (desktopIs("XFCE"))
        //: Where Xfce binds commands to keys; use the names of Xfce's own settings in your language.
        return tr("Settings › Keyboard › Application Shortcuts");
    //: Completes "bind the command %1 to a key in %2" on an unknown desktop.
    return tr("your desktop's keyboard shortcut settings");
}

QString SystemHotKeyService::problem() const
{
    if (m_mechanism == QLatin1String("none")) {
        //: %1 is the command to bind, %2 where the desktop's settings do that.
        return tr("This desktop does not let programs set a global shortcut. To open the Add Card "
                  "overlay from any application, bind the command %1 to a key in %2.")
            .arg(captureCommand, whereToBindCommands());
    }
    const auto *portal = qobject_cast<const PortalHotKeyService *>(m_backend.get());
    if (portal && !portal->failureReason().isEmpty()) {
        //: %1 is the desktop's own reason (not translated), %2 the command to bind, %3 where the desktop's
        //: settings do that.
        return tr("The desktop did not set up this shortcut: %1. Record it again, or bind the "
                  "command %2 to a key in %3.")
            .arg(portal->failureReason(), captureCommand, whereToBindCommands());
    }
    return {};
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
    if (m_backend)
        m_backend->disconnect(this);
    m_mechanism = mechanism;
    m_backend = std::move(backend);
    if (!m_backend) {
        logLine(LogChannel::Shell, noMechanismMessage);
        Q_EMIT statusChanged();
        return;
    }
    connect(m_backend.get(), &HotKeyService::activated, this, &HotKeyService::activated);
    connect(m_backend.get(), &HotKeyService::released, this, &HotKeyService::released);
    connect(m_backend.get(), &HotKeyService::statusChanged, this, &HotKeyService::statusChanged);
    if (auto *portal = qobject_cast<PortalHotKeyService *>(m_backend.get())) {
        // Queued: the portal service may be replaced from here, which must
        // not happen inside its own signal.
        connect(portal, &PortalHotKeyService::registrationFinished, this,
                &SystemHotKeyService::onPortalFinished, Qt::QueuedConnection);
    }
    Q_EMIT statusChanged();
    if (m_wanted)
        m_backend->registerHotKey(*m_wanted);
}

void SystemHotKeyService::onPortalFinished(bool bound)
{
    const auto *portal = qobject_cast<const PortalHotKeyService *>(m_backend.get());
    if (bound || !portal || portal->failureReason().isEmpty() || !m_wanted)
        return;
    const QString what = QStringLiteral("[Vocarta] The desktop did not bind the shortcut %1: %2.")
                             .arg(m_wanted->displayText, portal->failureReason());
    // On X11 a grab of our own works where the portal does not (a portal
    // without a running KDE behind it, or one that binds nothing).
    if (X11HotKeyService::isAvailable()) {
        logLine(LogChannel::Shell, what + QStringLiteral(" Using the X11 key grab instead."));
        adopt(std::make_unique<X11HotKeyService>(), QStringLiteral("x11"));
        return;
    }
    logLine(LogChannel::Shell, what + QStringLiteral(" Bind \"%1\" to a key in %2 instead.")
                                          .arg(captureCommand, whereToBindCommands()));
}
