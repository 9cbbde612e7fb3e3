#include "platform/dbus/DBusSingleInstance.h"

#include "platform/dbus/ActivateCall.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>

#include <QCoroDBusPendingCall>
#include <QCoroDBusPendingReply>

#include <string_view>

namespace {

// moc takes the interface only as a literal.
static_assert(std::string_view(ActivateCall::interfaceName) == "me.brindlefox.vocarta.menubar.Instance");

// The exported object. Its one slot is the whole interface.
class InstanceEndpoint : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "me.brindlefox.vocarta.menubar.Instance")
public:
    explicit InstanceEndpoint(SingleInstance *owner)
        : QObject(owner)
        , m_owner(owner)
    {
    }

public Q_SLOTS:
    void Activate(const QStringList &arguments, const QString &activationToken)
    {
        Q_EMIT m_owner->activated(arguments, activationToken);
    }

private:
    SingleInstance *m_owner;
};

constexpr uint doNotQueue = 4;
constexpr uint primaryOwner = 1;
constexpr uint alreadyOwner = 4;

} // namespace

DBusSingleInstance::DBusSingleInstance(QDBusConnection bus, QString name, QObject *parent)
    : SingleInstance(parent)
    , m_bus(std::move(bus))
    , m_name(std::move(name))
{
}

DBusSingleInstance::~DBusSingleInstance()
{
    if (m_endpoint) {
        m_bus.unregisterObject(objectPath());
        m_bus.unregisterService(m_name);
    }
}

QString DBusSingleInstance::objectPath() const
{
    return QLatin1Char('/') + QString(m_name).replace(QLatin1Char('.'), QLatin1Char('/'));
}

QString DBusSingleInstance::interfaceName()
{
    return QString::fromLatin1(ActivateCall::interfaceName);
}

QCoro::Task<SingleInstance::Role> DBusSingleInstance::claim()
{
    if (!m_bus.isConnected())
        co_return Role::Unavailable;
    if (!m_endpoint) {
        m_endpoint = new InstanceEndpoint(this);
        // Exported before the name is taken, so no caller finds the name without the object.
        if (!m_bus.registerObject(objectPath(), m_endpoint, QDBusConnection::ExportAllSlots))
            co_return Role::Unavailable;
    }
    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
    request << m_name << doNotQueue;
    QDBusPendingReply<uint> reply = m_bus.asyncCall(request);
    co_await reply;
    if (reply.isError())
        co_return Role::Unavailable;
    const uint answer = reply.value();
    if (answer == primaryOwner || answer == alreadyOwner)
        co_return Role::Primary;
    m_bus.unregisterObject(objectPath());
    delete m_endpoint;
    m_endpoint = nullptr;
    co_return Role::Secondary;
}

QCoro::Task<SingleInstance::Delivery> DBusSingleInstance::forward(QStringList arguments,
                                                                  QString activationToken)
{
    if (!m_bus.isConnected())
        co_return Delivery::NoCopy;
    QDBusMessage call =
        QDBusMessage::createMethodCall(m_name, objectPath(), interfaceName(), QStringLiteral("Activate"));
    // Nothing is to be started for the name: with no owner the bus says so at once.
    call.setAutoStartService(false);
    call << arguments << activationToken;
    QDBusPendingCall pending = m_bus.asyncCall(call, 10000);
    co_await pending;
    if (!pending.isError())
        co_return Delivery::Delivered;
    const QDBusError error = pending.error();
    const bool noOwner = error.type() == QDBusError::ServiceUnknown ||
                         error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
    co_return noOwner ? Delivery::NoCopy : Delivery::Failed;
}

#include "DBusSingleInstance.moc"
