#include "platform/portal/PortalHotKeyService.h"

#include "platform/Log.h"
#include "platform/portal/PortalRequest.h"

#include "BuildConfig.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QGuiApplication>
#include <QPointer>
#include <QUuid>

#include <QCoroDBus>
#include <QCoroSignal>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

// One shortcut as BindShortcuts takes it: (id, {description, preferred_trigger}).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(PortalShortcut)

namespace {

QString newToken()
{
    return QStringLiteral("vocarta_") + QUuid::createUuid().toString(QUuid::Id128);
}

// The session handle is an object path in the documentation but a string in
// some implementations.
QString handleFrom(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    if (value.metaType() == QMetaType::fromType<QString>())
        return value.toString();
    return {};
}

QString replyPath(const QDBusMessage &reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return handleFrom(reply.arguments().constFirst());
}

} // namespace

PortalHotKeyService::PortalHotKeyService(QDBusConnection bus, QObject *parent)
    : HotKeyService(parent)
    , m_bus(std::move(bus))
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    // Typed slots for signals with a{sv} arguments do not connect on Qt 6.4.
    m_bus.connect(portalService, portalPath, shortcutsInterface, QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusMessage)));
}

PortalHotKeyService::~PortalHotKeyService()
{
    m_bus.disconnect(portalService, portalPath, shortcutsInterface, QStringLiteral("Activated"), this,
                     SLOT(onActivated(QDBusMessage)));
    unregisterHotKey();
}

QCoro::Task<bool> PortalHotKeyService::isAvailable(QDBusConnection bus, std::chrono::milliseconds timeout)
{
    if (!bus.isConnected())
        co_return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        portalService, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << shortcutsInterface << QStringLiteral("version");
    const QDBusMessage reply = co_await bus.asyncCall(get, int(timeout.count()));
    co_return reply.type() == QDBusMessage::ReplyMessage;
}

QString PortalHotKeyService::triggerFor(const Chord &chord)
{
    QStringList parts;
    if (chord.control)
        parts << QStringLiteral("CTRL");
    if (chord.alt)
        parts << QStringLiteral("ALT");
    if (chord.shift)
        parts << QStringLiteral("SHIFT");
    if (chord.super)
        parts << QStringLiteral("LOGO");
    parts << chord.keysymName;
    return parts.join(u'+');
}

QString PortalHotKeyService::shortcutIdFor(const Chord &chord)
{
    return QStringLiteral("capture:") + triggerFor(chord);
}

void PortalHotKeyService::registerHotKey(const Chord &chord)
{
    const quint64 generation = ++m_generation;
    if (!m_session.isEmpty())
        closeSession(std::exchange(m_session, QString()));
    QCoro::connect(bind(chord, generation), this, [] {});
}

void PortalHotKeyService::unregisterHotKey()
{
    ++m_generation;
    if (!m_session.isEmpty())
        closeSession(std::exchange(m_session, QString()));
}

void PortalHotKeyService::closeSession(const QString &handle)
{
    m_boundId.clear();
    QDBusMessage close = QDBusMessage::createMethodCall(
        portalService, handle, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close"));
    // The next session reuses the path: it is created once this one is gone.
    m_pendingClose = m_bus.asyncCall(close, 5000);
}

QCoro::Task<void> PortalHotKeyService::registerApplicationOnce()
{
    if (m_applicationRegistered)
        co_return;
    m_applicationRegistered = true;
    // Portals from 1.19 on identify a host (unsandboxed) program only through
    // this call, made before any other portal call on the connection. Older
    // portals do not have it and give host programs an empty app id.
    QString appId = QGuiApplication::desktopFileName();
    if (appId.isEmpty())
        appId = QString::fromLatin1(BuildConfig::bundleIdentifier);
    QDBusMessage registerApp = QDBusMessage::createMethodCall(
        portalService, portalPath, QStringLiteral("org.freedesktop.host.portal.Registry"),
        QStringLiteral("Register"));
    registerApp << appId << QVariantMap();
    co_await m_bus.asyncCall(registerApp, 5000);
}

QCoro::Task<void> PortalHotKeyService::bind(Chord chord, quint64 generation)
{
    QPointer<PortalHotKeyService> self(this);
    co_await registerApplicationOnce();
    if (!self || generation != m_generation)
        co_return;

    if (m_pendingClose) {
        const QDBusPendingCall closing = *std::exchange(m_pendingClose, std::nullopt);
        co_await closing;
        if (!self || generation != m_generation)
            co_return;
    }

    // 1. A session of our own.
    const QString createToken = newToken();
    PortalRequest createRequest(m_bus, PortalRequest::pathFor(m_bus, createToken));
    QDBusMessage create = QDBusMessage::createMethodCall(portalService, portalPath, shortcutsInterface,
                                                         QStringLiteral("CreateSession"));
    create << QVariantMap{{QStringLiteral("handle_token"), createToken},
                          {QStringLiteral("session_handle_token"), sessionToken}};
    const QDBusMessage createReply = co_await m_bus.asyncCall(create, int(m_responseTimeout.count()));
    if (!self)
        co_return;
    if (createReply.type() != QDBusMessage::ReplyMessage) {
        logLine(LogChannel::Shell,
                QStringLiteral("[Vocarta] The desktop refused a global shortcut session: ") +
                    createReply.errorMessage());
        Q_EMIT registrationFinished(false);
        co_return;
    }
    createRequest.alsoListenOn(replyPath(createReply));
    if (!createRequest.response())
        co_await qCoro(&createRequest, &PortalRequest::answered, m_responseTimeout);
    if (!self)
        co_return;
    const auto created = createRequest.response();
    const QString session =
        created ? handleFrom(created->results.value(QStringLiteral("session_handle"))) : QString();
    if (!created || created->code != 0 || session.isEmpty()) {
        logLine(LogChannel::Shell,
                QStringLiteral("[Vocarta] The desktop did not open a global shortcut session."));
        Q_EMIT registrationFinished(false);
        co_return;
    }
    if (generation != m_generation) {
        // Replaced or removed while the session was being created.
        closeSession(session);
        co_return;
    }
    m_session = session;

    // 2. Our one shortcut in it, with the recorded keys as the suggestion.
    const QString bindToken = newToken();
    PortalRequest bindRequest(m_bus, PortalRequest::pathFor(m_bus, bindToken));
    const QString id = shortcutIdFor(chord);
    const QList<PortalShortcut> shortcuts{
        {id,
         {{QStringLiteral("description"), QStringLiteral("Add a card from the selected text")},
          {QStringLiteral("preferred_trigger"), triggerFor(chord)}}}};
    QDBusMessage bindCall = QDBusMessage::createMethodCall(portalService, portalPath, shortcutsInterface,
                                                           QStringLiteral("BindShortcuts"));
    bindCall << QVariant::fromValue(QDBusObjectPath(session)) << QVariant::fromValue(shortcuts) << QString()
             << QVariantMap{{QStringLiteral("handle_token"), bindToken}};
    const QDBusMessage bindReply = co_await m_bus.asyncCall(bindCall, int(m_responseTimeout.count()));
    if (!self)
        co_return;
    if (bindReply.type() == QDBusMessage::ReplyMessage) {
        bindRequest.alsoListenOn(replyPath(bindReply));
        if (!bindRequest.response())
            co_await qCoro(&bindRequest, &PortalRequest::answered, m_responseTimeout);
        if (!self)
            co_return;
    }
    const auto bound = bindRequest.response();
    if (generation != m_generation)
        co_return; // replaced meanwhile; the newer registration reports
    if (!bound || bound->code != 0) {
        logLine(LogChannel::Shell,
                QStringLiteral("[Vocarta] The desktop did not bind the shortcut %1.").arg(chord.displayText));
        Q_EMIT registrationFinished(false);
        co_return;
    }
    m_boundId = id;
    Q_EMIT registrationFinished(true);
}

void PortalHotKeyService::onActivated(const QDBusMessage &message)
{
    const QVariantList args = message.arguments();
    if (m_session.isEmpty() || args.size() < 2)
        return;
    if (handleFrom(args.at(0)) != m_session || m_boundId.isEmpty() || args.at(1).toString() != m_boundId)
        return;
    // The portal's timestamp is not an X server time. Its options may carry
    // an activation token for bringing our window forward.
    QString token;
    if (args.size() >= 4) {
        const QVariant value = qdbus_cast<QVariantMap>(args.at(3)).value(QStringLiteral("activation_token"));
        if (value.metaType() == QMetaType::fromType<QString>())
            token = value.toString();
    }
    Q_EMIT activated(0, token);
}
