#include "platform/portal/PortalHotKeyService.h"

#include <QCoreApplication>

#include "platform/Log.h"
#include "platform/WhileAlive.h"
#include "platform/portal/PortalRequest.h"
#include "platform/portal/PortalTrigger.h"

#include "BuildConfig.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QGuiApplication>
#include <QUuid>

#include <QCoroDBus>
#include <QCoroSignal>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString shortcutsKey = QStringLiteral("shortcuts");
const QString triggerKey = QStringLiteral("trigger_description");

// One shortcut as the portal passes them, both ways: (id, properties).
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

// A shortcut list as the portal sends it (a(sa{sv})); absent when `value`
// is anything else.
std::optional<QList<PortalShortcut>> shortcutList(const QVariant &value)
{
    if (!value.canConvert<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument argument = qvariant_cast<QDBusArgument>(value);
    if (argument.currentSignature() != QLatin1String("a(sa{sv})"))
        return std::nullopt;
    QList<PortalShortcut> shortcuts;
    argument >> shortcuts;
    return shortcuts;
}

// What the desktop says about shortcut `id` in `shortcuts`: its trigger
// description (empty when it has none), or absent when `id` is not listed.
std::optional<QString> triggerOf(const QList<PortalShortcut> &shortcuts, const QString &id)
{
    for (const PortalShortcut &shortcut : shortcuts) {
        if (shortcut.id == id) {
            const QVariant trigger = shortcut.properties.value(triggerKey);
            return trigger.metaType() == QMetaType::fromType<QString>() ? trigger.toString() : QString();
        }
    }
    return std::nullopt;
}

QList<PortalShortcut> shortcutsFor(const HotKeyService::Chord &chord)
{
    return {{PortalHotKeyService::shortcutIdFor(chord),
             {{QStringLiteral("description"),
               //: The shortcut's description in the desktop's own shortcut settings.
               QCoreApplication::translate("PortalHotKeyService", "Add a card from the selected text")},
              {QStringLiteral("preferred_trigger"), PortalTrigger::fromChord(chord)}}}};
}

} // namespace

// The outcome of one portal request: the method call's error, or the
// Response signal (absent when none came in time).
struct PortalHotKeyService::Answer {
    QString callError;
    std::optional<PortalRequest::Response> response;
};

PortalHotKeyService::PortalHotKeyService(QDBusConnection bus, QObject *parent)
    : HotKeyService(parent)
    , m_bus(std::move(bus))
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    // Typed slots for signals with a{sv} arguments do not connect on Qt 6.4.
    m_bus.connect(portalService, portalPath, shortcutsInterface, QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusMessage)));
    m_bus.connect(portalService, portalPath, shortcutsInterface, QStringLiteral("ShortcutsChanged"), this,
                  SLOT(onShortcutsChanged(QDBusMessage)));
}

PortalHotKeyService::~PortalHotKeyService()
{
    m_bus.disconnect(portalService, portalPath, shortcutsInterface, QStringLiteral("Activated"), this,
                     SLOT(onActivated(QDBusMessage)));
    m_bus.disconnect(portalService, portalPath, shortcutsInterface, QStringLiteral("ShortcutsChanged"), this,
                     SLOT(onShortcutsChanged(QDBusMessage)));
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

QString PortalHotKeyService::shortcutIdFor(const Chord &chord)
{
    return QStringLiteral("capture:") + PortalTrigger::fromChord(chord);
}

QString PortalHotKeyService::desktopTrigger() const
{
    if (m_boundId.isEmpty() || m_boundTrigger.isEmpty() || !m_chord)
        return {};
    return PortalTrigger::describes(m_boundTrigger, *m_chord) ? QString() : m_boundTrigger;
}

void PortalHotKeyService::registerHotKey(const Chord &chord)
{
    const quint64 generation = ++m_generation;
    m_chord = chord;
    m_failureReason.clear();
    if (!m_session.isEmpty())
        closeSession(std::exchange(m_session, QString()));
    Q_EMIT statusChanged();
    QCoro::connect(bind(chord, generation), this, [] {});
}

void PortalHotKeyService::unregisterHotKey()
{
    ++m_generation;
    m_chord.reset();
    m_failureReason.clear();
    if (!m_session.isEmpty())
        closeSession(std::exchange(m_session, QString()));
    Q_EMIT statusChanged();
}

void PortalHotKeyService::closeSession(const QString &handle)
{
    m_boundId.clear();
    m_boundTrigger.clear();
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

QCoro::Task<PortalHotKeyService::Answer> PortalHotKeyService::request(QDBusMessage call, QString token,
                                                                      std::chrono::milliseconds limit)
{
    // Only copies from here on: the service may be gone when this resumes.
    QDBusConnection bus = m_bus;
    PortalRequest pending(bus, PortalRequest::pathFor(bus, token));
    const QDBusMessage reply = co_await bus.asyncCall(call, int(limit.count()));
    if (reply.type() != QDBusMessage::ReplyMessage)
        co_return Answer{reply.errorName() + QStringLiteral(": ") + reply.errorMessage(), std::nullopt};
    pending.alsoListenOn(replyPath(reply));
    if (!pending.response())
        co_await qCoro(&pending, &PortalRequest::answered, limit);
    co_return Answer{QString(), pending.response()};
}

QCoro::Task<void> PortalHotKeyService::bind(Chord chord, quint64 generation)
{
    co_await whileAlive(this, registerApplicationOnce());
    if (generation != m_generation)
        co_return;

    // One session at a time: they all have the same path.
    while (m_creating) {
        co_await qCoro(this, &PortalHotKeyService::creationSettled);
        if (generation != m_generation)
            co_return;
    }
    if (m_pendingClose) {
        const QDBusPendingCall closing = *std::exchange(m_pendingClose, std::nullopt);
        co_await whileAlive<void>(this, closing);
        if (generation != m_generation)
            co_return;
    }

    const QList<PortalShortcut> shortcuts = shortcutsFor(chord);
    const QString id = shortcuts.constFirst().id;
    const auto quick = std::min(m_responseTimeout, quickAnswerLimit);

    // 1. A session of our own. Its options carry the shortcuts too: Plasma
    //    5.27 binds them only from there, and answers with what it bound.
    const QString createToken = newToken();
    QDBusMessage create = QDBusMessage::createMethodCall(portalService, portalPath, shortcutsInterface,
                                                         QStringLiteral("CreateSession"));
    create << QVariantMap{{QStringLiteral("handle_token"), createToken},
                          {QStringLiteral("session_handle_token"), sessionToken},
                          {shortcutsKey, QVariant::fromValue(shortcuts)}};
    m_creating = true;
    const Answer created = co_await whileAlive(this, request(create, createToken, quick));
    m_creating = false;
    const QString session =
        created.response ? handleFrom(created.response->results.value(QStringLiteral("session_handle")))
                         : QString();
    if (generation != m_generation) {
        // Replaced or removed while the session was being created.
        if (!session.isEmpty())
            closeSession(session);
        Q_EMIT creationSettled();
        co_return;
    }
    Q_EMIT creationSettled();
    if (!created.callError.isEmpty()) {
        finish(false, QStringLiteral("no shortcut session (") + created.callError + u')');
        co_return;
    }
    if (!created.response) {
        finish(false, QStringLiteral("no answer about a shortcut session"));
        co_return;
    }
    if (created.response->code != 0 || session.isEmpty()) {
        finish(false, QStringLiteral("no shortcut session was opened"));
        co_return;
    }
    m_session = session;

    // 2. What the desktop bound. Asking to bind once more would only make
    //    Plasma 5.27 open its shortcut settings at every start.
    std::optional<QString> trigger;
    if (const auto listed = shortcutList(created.response->results.value(shortcutsKey)))
        trigger = triggerOf(*listed, id);
    if (!trigger || trigger->isEmpty()) {
        const QString bindToken = newToken();
        QDBusMessage bindCall = QDBusMessage::createMethodCall(portalService, portalPath, shortcutsInterface,
                                                               QStringLiteral("BindShortcuts"));
        bindCall << QVariant::fromValue(QDBusObjectPath(session)) << QVariant::fromValue(shortcuts)
                 << QString() << QVariantMap{{QStringLiteral("handle_token"), bindToken}};
        const Answer bound = co_await whileAlive(this, request(bindCall, bindToken, m_responseTimeout));
        if (generation != m_generation)
            co_return; // replaced meanwhile; the newer registration reports
        if (!bound.callError.isEmpty() || !bound.response) {
            finish(false, bound.callError.isEmpty() ? QStringLiteral("no answer to the request to bind it")
                                                    : bound.callError);
            co_return;
        }
        if (bound.response->code == 1) {
            finish(false, QStringLiteral("the request to bind it was declined"));
            co_return;
        }
        if (bound.response->code != 0) {
            finish(false, QStringLiteral("the request to bind it failed"));
            co_return;
        }
        // 3. The answer lists what was bound; where it does not, ask.
        std::optional<QList<PortalShortcut>> listed =
            shortcutList(bound.response->results.value(shortcutsKey));
        if (!listed) {
            const QString listToken = newToken();
            QDBusMessage list = QDBusMessage::createMethodCall(portalService, portalPath, shortcutsInterface,
                                                               QStringLiteral("ListShortcuts"));
            list << QVariant::fromValue(QDBusObjectPath(session))
                 << QVariantMap{{QStringLiteral("handle_token"), listToken}};
            const Answer answer = co_await whileAlive(this, request(list, listToken, quick));
            if (generation != m_generation)
                co_return;
            if (answer.response && answer.response->code == 0)
                listed = shortcutList(answer.response->results.value(shortcutsKey));
        }
        trigger = listed ? triggerOf(*listed, id) : std::nullopt;
    }
    if (!trigger || trigger->isEmpty()) {
        finish(false, QStringLiteral("the desktop bound no key to it"));
        co_return;
    }
    m_boundId = id;
    setBoundTrigger(*trigger);
    finish(true, QString());
}

void PortalHotKeyService::finish(bool bound, const QString &reason)
{
    m_failureReason = reason;
    Q_EMIT statusChanged();
    Q_EMIT registrationFinished(bound);
}

void PortalHotKeyService::setBoundTrigger(const QString &trigger)
{
    if (trigger == m_boundTrigger)
        return;
    m_boundTrigger = trigger;
    if (!desktopTrigger().isEmpty()) {
        logLine(LogChannel::Shell,
                QStringLiteral("[Vocarta] The desktop binds the shortcut to %1 (asked for %2).")
                    .arg(m_boundTrigger, m_chord->displayText));
    }
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

// The user changed our shortcut in the desktop's settings: what they chose
// is what fires now, so it is what the views show.
void PortalHotKeyService::onShortcutsChanged(const QDBusMessage &message)
{
    const QVariantList args = message.arguments();
    if (m_session.isEmpty() || m_boundId.isEmpty() || args.size() < 2 || handleFrom(args.at(0)) != m_session)
        return;
    const auto listed = shortcutList(args.at(1));
    const std::optional<QString> trigger = listed ? triggerOf(*listed, m_boundId) : std::nullopt;
    if (!trigger)
        return;
    setBoundTrigger(*trigger);
    m_failureReason =
        trigger->isEmpty() ? QStringLiteral("the desktop's settings bind no key to it") : QString();
    Q_EMIT statusChanged();
}
