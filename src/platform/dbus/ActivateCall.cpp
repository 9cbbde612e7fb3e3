#include "platform/dbus/ActivateCall.h"

#include <dbus/dbus.h>

#include <algorithm>
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

// libdbus refuses a string that is not UTF-8 or holds a NUL; asking first
// keeps its complaint off stderr.
bool isWireString(const std::string &text)
{
    return text.find('\0') == std::string::npos && dbus_validate_utf8(text.c_str(), nullptr);
}

bool appendString(DBusMessageIter *iterator, const std::string &text)
{
    const char *data = text.c_str();
    return dbus_message_iter_append_basic(iterator, DBUS_TYPE_STRING, &data);
}

Message activateCall(const std::string &name, const std::vector<std::string> &arguments,
                     const std::string &activationToken)
{
    std::string path = '/' + name;
    std::replace(path.begin(), path.end(), '.', '/');
    Message call(
        dbus_message_new_method_call(name.c_str(), path.c_str(), ActivateCall::interfaceName, "Activate"));
    if (!call)
        return nullptr;
    // Nothing is to be started for the name: with no owner the bus says so at once.
    dbus_message_set_auto_start(call.get(), FALSE);
    DBusMessageIter iterator;
    DBusMessageIter list;
    dbus_message_iter_init_append(call.get(), &iterator);
    if (!dbus_message_iter_open_container(&iterator, DBUS_TYPE_ARRAY, DBUS_TYPE_STRING_AS_STRING, &list))
        return nullptr;
    for (const std::string &argument : arguments) {
        if (!appendString(&list, argument)) {
            dbus_message_iter_abandon_container(&iterator, &list);
            return nullptr;
        }
    }
    const std::string token = isWireString(activationToken) ? activationToken : std::string();
    if (!dbus_message_iter_close_container(&iterator, &list) || !appendString(&iterator, token))
        return nullptr;
    return call;
}

} // namespace

ActivateCall::Result ActivateCall::send(const std::string &name, const std::vector<std::string> &arguments,
                                        const std::string &activationToken)
{
    if (!std::all_of(arguments.begin(), arguments.end(), isWireString) ||
        !dbus_validate_bus_name(name.c_str(), nullptr))
        return Result::Failed;
    DBusError error;
    dbus_error_init(&error);
    const Connection bus(dbus_bus_get_private(DBUS_BUS_SESSION, &error));
    if (!bus) {
        dbus_error_free(&error);
        return Result::NoCopy;
    }
    dbus_connection_set_exit_on_disconnect(bus.get(), FALSE);
    const Message call = activateCall(name, arguments, activationToken);
    if (!call)
        return Result::Failed;
    const Message reply(
        dbus_connection_send_with_reply_and_block(bus.get(), call.get(), answerTimeoutMs, &error));
    if (reply)
        return Result::Delivered;
    const bool noOwner = dbus_error_has_name(&error, DBUS_ERROR_SERVICE_UNKNOWN) ||
                         dbus_error_has_name(&error, DBUS_ERROR_NAME_HAS_NO_OWNER);
    dbus_error_free(&error);
    return noOwner ? Result::NoCopy : Result::Failed;
}
