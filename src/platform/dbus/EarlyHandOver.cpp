#include "platform/dbus/EarlyHandOver.h"

#include "platform/dbus/DBusSingleInstance.h"

#include <dbus/dbus.h>

#include <memory>

namespace {

constexpr int answerTimeoutMs = 10000;

struct ConnectionClose {
    void operator()(DBusConnection *connection) const
    {
        dbus_connection_close(connection);
        dbus_connection_unref(connection);
    }
};
struct MessageUnref {
    void operator()(DBusMessage *message) const { dbus_message_unref(message); }
};
using Connection = std::unique_ptr<DBusConnection, ConnectionClose>;
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

bool appendString(DBusMessageIter *iterator, const QString &text)
{
    // toUtf8 never yields invalid UTF-8, which libdbus would refuse.
    const QByteArray utf8 = text.toUtf8();
    const char *data = utf8.constData();
    return dbus_message_iter_append_basic(iterator, DBUS_TYPE_STRING, &data);
}

Message activateCall(const QString &name, const QStringList &arguments, const QString &activationToken)
{
    const QByteArray service = name.toUtf8();
    const QByteArray path =
        (QLatin1Char('/') + QString(name).replace(QLatin1Char('.'), QLatin1Char('/'))).toUtf8();
    const QByteArray interface = DBusSingleInstance::interfaceName().toUtf8();
    Message call(dbus_message_new_method_call(service.constData(), path.constData(), interface.constData(),
                                              "Activate"));
    if (!call)
        return nullptr;
    // Nothing is to be started for the name: with no owner the bus says so at once.
    dbus_message_set_auto_start(call.get(), FALSE);
    DBusMessageIter iterator;
    DBusMessageIter list;
    dbus_message_iter_init_append(call.get(), &iterator);
    if (!dbus_message_iter_open_container(&iterator, DBUS_TYPE_ARRAY, DBUS_TYPE_STRING_AS_STRING, &list))
        return nullptr;
    for (const QString &argument : arguments) {
        if (!appendString(&list, argument)) {
            dbus_message_iter_abandon_container(&iterator, &list);
            return nullptr;
        }
    }
    if (!dbus_message_iter_close_container(&iterator, &list) || !appendString(&iterator, activationToken))
        return nullptr;
    return call;
}

} // namespace

SingleInstance::Delivery EarlyHandOver::forward(const QString &name, const QStringList &arguments,
                                                const QString &activationToken)
{
    DBusError error;
    dbus_error_init(&error);
    const Connection bus(dbus_bus_get_private(DBUS_BUS_SESSION, &error));
    if (!bus) {
        dbus_error_free(&error);
        return SingleInstance::Delivery::NoCopy;
    }
    dbus_connection_set_exit_on_disconnect(bus.get(), FALSE);
    const Message call = activateCall(name, arguments, activationToken);
    if (!call)
        return SingleInstance::Delivery::Failed;
    const Message reply(
        dbus_connection_send_with_reply_and_block(bus.get(), call.get(), answerTimeoutMs, &error));
    if (reply)
        return SingleInstance::Delivery::Delivered;
    const bool noOwner = dbus_error_has_name(&error, DBUS_ERROR_SERVICE_UNKNOWN) ||
                         dbus_error_has_name(&error, DBUS_ERROR_NAME_HAS_NO_OWNER);
    dbus_error_free(&error);
    return noOwner ? SingleInstance::Delivery::NoCopy : SingleInstance::Delivery::Failed;
}
