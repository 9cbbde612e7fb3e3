#include "platform/dbus/EarlyHandOver.h"

#include "platform/dbus/ActivateCall.h"

SingleInstance::Delivery EarlyHandOver::forward(const QString &name, const QStringList &arguments,
                                                const QString &activationToken)
{
    // toUtf8 never yields invalid UTF-8, which the call would refuse.
    std::vector<std::string> utf8;
    utf8.reserve(arguments.size());
    for (const QString &argument : arguments)
        utf8.push_back(argument.toStdString());
    switch (ActivateCall::send(name.toStdString(), utf8, activationToken.toStdString())) {
    case ActivateCall::Result::Delivered:
        return SingleInstance::Delivery::Delivered;
    case ActivateCall::Result::NoCopy:
        return SingleInstance::Delivery::NoCopy;
    case ActivateCall::Result::Failed:
        break;
    }
    return SingleInstance::Delivery::Failed;
}
