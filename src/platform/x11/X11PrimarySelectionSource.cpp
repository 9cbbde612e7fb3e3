#include "platform/x11/X11PrimarySelectionSource.h"

#include <QGuiApplication>

#include <QCoroSignal>

#include "platform/WhileAlive.h"
#include "platform/x11/Xcb.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using Xcb::atom;
using Xcb::connection;
template <class T> using XcbReply = Xcb::Reply<T>;

xcb_window_t activeWindow(xcb_connection_t *c, xcb_window_t root)
{
    const xcb_atom_t netActive = atom(c, "_NET_ACTIVE_WINDOW");
    XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, netActive, XCB_ATOM_WINDOW, 0, 1), nullptr));
    if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32 ||
        xcb_get_property_value_length(reply.get()) < 4)
        return XCB_WINDOW_NONE;
    return *static_cast<xcb_window_t *>(xcb_get_property_value(reply.get()));
}

// Resource ids carry the creating client in the bits outside the id mask.
quint32 clientOf(xcb_connection_t *c, xcb_window_t window)
{
    return window & ~xcb_get_setup(c)->resource_id_mask;
}

xcb_screen_t *firstScreen(xcb_connection_t *c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data;
}

} // namespace

X11PrimarySelectionSource::X11PrimarySelectionSource(QObject *parent)
    : QObject(parent)
{
    if (qGuiApp)
        qGuiApp->installNativeEventFilter(this);
}

X11PrimarySelectionSource::~X11PrimarySelectionSource()
{
    if (qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
    if (xcb_connection_t *c = connection(); c && m_window) {
        xcb_destroy_window(c, m_window);
        xcb_flush(c);
    }
}

bool X11PrimarySelectionSource::isAvailable()
{
    return QGuiApplication::platformName() == QLatin1String("xcb") && connection();
}

quint32 X11PrimarySelectionSource::ensureWindow()
{
    xcb_connection_t *c = connection();
    if (!c)
        return 0;
    if (!m_window) {
        xcb_screen_t *screen = firstScreen(c);
        if (!screen)
            return 0;
        m_window = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, screen->root, -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        m_property = atom(c, "VOCARTA_SELECTION");
    }
    return m_window;
}

QCoro::Task<SelectionSource::Result> X11PrimarySelectionSource::read()
{
    xcb_connection_t *c = connection();
    if (!c || !ensureWindow())
        co_return Result::unavailable();
    xcb_screen_t *screen = firstScreen(c);
    const xcb_window_t active = activeWindow(c, screen->root);
    if (active == XCB_WINDOW_NONE)
        co_return Result::unavailable();
    if (clientOf(c, active) == clientOf(c, m_window))
        co_return Result::nothing(); // our own window is in front

    XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, XCB_ATOM_PRIMARY), nullptr));
    if (!owner || owner->owner == XCB_WINDOW_NONE || clientOf(c, owner->owner) != clientOf(c, active))
        co_return Result::unavailable();

    const xcb_atom_t utf8 = atom(c, "UTF8_STRING");
    xcb_delete_property(c, m_window, m_property);
    xcb_convert_selection(c, m_window, XCB_ATOM_PRIMARY, utf8, m_property, XCB_CURRENT_TIME);
    xcb_flush(c);

    const auto notified = co_await whileAlive<std::optional<quint32>>(
        this, qCoro(this, &X11PrimarySelectionSource::selectionNotified, m_timeout));
    if (!notified || *notified == XCB_ATOM_NONE)
        co_return Result::unavailable();

    XcbReply<xcb_get_property_reply_t> value(xcb_get_property_reply(
        c, xcb_get_property(c, 1, m_window, m_property, XCB_GET_PROPERTY_TYPE_ANY, 0, maxBytes / 4),
        nullptr));
    if (!value || value->format != 8 || value->bytes_after > 0)
        co_return Result::unavailable(); // also INCR transfers: too large for a card
    const int length = xcb_get_property_value_length(value.get());
    const char *bytes = static_cast<const char *>(xcb_get_property_value(value.get()));
    QString text;
    if (value->type == utf8)
        text = QString::fromUtf8(bytes, length);
    else if (value->type == XCB_ATOM_STRING)
        text = QString::fromLatin1(bytes, length);
    else
        co_return Result::unavailable();
    if (text.isEmpty())
        co_return Result::nothing();
    co_return Result::selected(text);
}

bool X11PrimarySelectionSource::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (!m_window || eventType != "xcb_generic_event_t")
        return false;
    auto *event = static_cast<xcb_generic_event_t *>(message);
    if ((event->response_type & ~0x80) != XCB_SELECTION_NOTIFY)
        return false;
    auto *notify = reinterpret_cast<xcb_selection_notify_event_t *>(event);
    if (notify->requestor != m_window)
        return false;
    Q_EMIT selectionNotified(notify->property);
    return true;
}
