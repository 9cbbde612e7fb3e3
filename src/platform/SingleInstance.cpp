#include "platform/SingleInstance.h"

#include "platform/dbus/DBusSingleInstance.h"
#include "platform/dbus/LocalSocketSingleInstance.h"

#include <QDBusConnection>

std::unique_ptr<SingleInstance> SingleInstance::create(const QString &name)
{
    if (QDBusConnection::sessionBus().isConnected())
        return std::make_unique<DBusSingleInstance>(QDBusConnection::sessionBus(), name);
    return std::make_unique<LocalSocketSingleInstance>(LocalSocketSingleInstance::defaultSocketPath(name));
}

std::unique_ptr<SingleInstance> SingleInstance::createForwarder(const QString &name)
{
    const QString connectionName = QStringLiteral("vocarta-forward");
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
    if (bus.isConnected())
        return std::make_unique<DBusSingleInstance>(bus, name, DBusSingleInstance::Connection::Close);
    QDBusConnection::disconnectFromBus(connectionName);
    return std::make_unique<LocalSocketSingleInstance>(LocalSocketSingleInstance::defaultSocketPath(name));
}
