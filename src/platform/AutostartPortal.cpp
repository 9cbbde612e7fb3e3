#include "platform/AutostartPortal.h"

#include "platform/Log.h"
#include "platform/WhileAlive.h"
#include "platform/portal/PortalRequest.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QSettings>
#include <QUuid>

#include <QCoroDBus>
#include <QCoroSignal>

namespace {
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString backgroundInterface = QStringLiteral("org.freedesktop.portal.Background");
} // namespace

const QString AutostartPortal::settingsKey = QStringLiteral("startAtLogin");

AutostartPortal::AutostartPortal(QDBusConnection bus, QStringList commandLine, QObject *parent)
    : Autostart(parent)
    , m_bus(std::move(bus))
    , m_commandLine(std::move(commandLine))
{
}

bool AutostartPortal::read() const
{
    return QSettings().value(settingsKey, false).toBool();
}

QCoro::Task<bool> AutostartPortal::write(bool on)
{
    const QString token = QStringLiteral("vocarta_") + QUuid::createUuid().toString(QUuid::Id128);
    PortalRequest request(m_bus, PortalRequest::pathFor(m_bus, token));
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, backgroundInterface,
                                                       QStringLiteral("RequestBackground"));
    call << QString() // no parent window the portal could use
         << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("reason"), QStringLiteral("Start Vocarta Menubar when you log in")},
                        {QStringLiteral("autostart"), on},
                        {QStringLiteral("commandline"), m_commandLine},
                        {QStringLiteral("dbus-activatable"), false}};
    const QDBusMessage reply =
        co_await whileAlive<QDBusMessage>(this, m_bus.asyncCall(call, int(m_responseTimeout.count())));
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        const QVariant handle = reply.arguments().constFirst();
        // Older portals answer on a path of their own choosing.
        request.alsoListenOn(handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                                  : handle.toString());
        if (!request.response())
            co_await whileAlive<void>(this, qCoro(&request, &PortalRequest::answered, m_responseTimeout));
    }
    const auto &response = request.response();
    if (!response || response->code != 0) {
        logLine(LogChannel::Warning,
                QStringLiteral("[Vocarta] The desktop did not change the start at login."));
        co_return read();
    }
    // What the portal granted, which may be less than asked.
    const bool granted = response->results.value(QStringLiteral("autostart"), false).toBool();
    QSettings().setValue(settingsKey, granted);
    co_return granted;
}
