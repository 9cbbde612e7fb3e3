#include "platform/TrayHost.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QGuiApplication>

#include <QCoroDBusPendingReply>
#include <QCoroTimer>

#include <X11/Xlib.h>

namespace {

QCoro::Task<bool> statusNotifierHostRegistered()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        co_return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierWatcher")
        << QStringLiteral("IsStatusNotifierHostRegistered");
    QDBusPendingReply<QDBusVariant> reply = bus.asyncCall(get, 2000);
    co_await reply;
    co_return !reply.isError() && reply.value().variant().toBool();
}

bool xembedTrayPresent()
{
    if (QGuiApplication::platformName() != u"xcb")
        return false;
    static Display *display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(DefaultScreen(display));
    const Atom selection = XInternAtom(display, name.constData(), False);
    return XGetSelectionOwner(display, selection) != None;
}

} // namespace

QCoro::Task<bool> TrayHost::isAvailable()
{
    // Awaited into named values: g++ 12 mishandles a task awaited inside a condition.
    const bool statusNotifier = co_await statusNotifierHostRegistered();
    co_return statusNotifier || xembedTrayPresent();
}

QCoro::Task<bool> TrayHost::waitForHost(std::chrono::milliseconds limit)
{
    QDeadlineTimer deadline(limit);
    while (true) {
        const bool available = co_await isAvailable();
        if (available)
            co_return true;
        if (deadline.hasExpired())
            co_return false;
        co_await QCoro::sleepFor(std::chrono::milliseconds(250));
    }
}
