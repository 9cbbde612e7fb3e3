#include "platform/SingleInstance.h"

#include "platform/dbus/DBusSingleInstance.h"
#include "platform/dbus/EarlyHandOver.h"
#include "platform/dbus/LocalSocketSingleInstance.h"

#include <QDBusConnection>

std::unique_ptr<SingleInstance> SingleInstance::create(const QString &name)
{
    if (QDBusConnection::sessionBus().isConnected())
        return std::make_unique<DBusSingleInstance>(QDBusConnection::sessionBus(), name);
    return std::make_unique<LocalSocketSingleInstance>(LocalSocketSingleInstance::defaultSocketPath(name));
}

SingleInstance::Delivery SingleInstance::forwardBeforeApplication(const QString &name,
                                                                  const QStringList &arguments,
                                                                  const QString &activationToken)
{
    return EarlyHandOver::forward(name, arguments, activationToken);
}
