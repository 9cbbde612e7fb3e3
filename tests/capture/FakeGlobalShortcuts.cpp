// A stand-in for xdg-desktop-portal's GlobalShortcuts on the test session bus.
// Answers every request with its Response signal *before* the method reply,
// as a fast portal may, so a client that subscribes late misses it.
// Test control (interface org.vocarta.test.FakePortal on /test):
//   Calls() -> as        every call seen, as text
//   Activate(s id)       emits Activated for the newest open session (none if none is open)
//   ActivateSession(o session, s id)
//   SetRefuseBind(b)     answer BindShortcuts with response code 1
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QStringList>

#include <cstdio>

namespace {

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

QString senderPart(const QString &sender)
{
    QString part = sender.mid(1);
    return part.replace(u'.', u'_');
}

class FakePortal : public QDBusVirtualObject {
public:
    QStringList calls;
    QStringList openSessions;
    bool refuseBind = false;

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        const QString member = message.member();
        const QString interface = message.interface();
        const QVariantList args = message.arguments();

        if (interface == QLatin1String("org.freedesktop.DBus.Properties") && member == QLatin1String("Get") &&
            args.value(0).toString() == shortcutsInterface) {
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(uint(1)))));
            return true;
        }
        if (interface == shortcutsInterface && member == QLatin1String("CreateSession")) {
            const QVariantMap options = qdbus_cast<QVariantMap>(args.value(0));
            const QString sessionPath = QStringLiteral("/org/freedesktop/portal/desktop/session/") +
                                        senderPart(message.service()) + u'/' +
                                        options.value(QStringLiteral("session_handle_token")).toString();
            // Like the real portal: a session path is unique while open.
            if (openSessions.contains(sessionPath)) {
                calls << QStringLiteral("CreateSession refused: exists");
                connection.send(message.createErrorReply(
                    QStringLiteral("org.freedesktop.portal.Error.Failed"), QStringLiteral("Session exists")));
                return true;
            }
            calls << QStringLiteral("CreateSession ") + sessionPath;
            openSessions << sessionPath;
            respond(message, connection, options, 0, {{QStringLiteral("session_handle"), sessionPath}});
            return true;
        }
        if (interface == shortcutsInterface && member == QLatin1String("BindShortcuts")) {
            const QString session = qdbus_cast<QDBusObjectPath>(args.value(0)).path();
            const QDBusArgument shortcuts = qvariant_cast<QDBusArgument>(args.value(1));
            QStringList described;
            shortcuts.beginArray();
            while (!shortcuts.atEnd()) {
                QString id;
                QVariantMap properties;
                shortcuts.beginStructure();
                shortcuts >> id >> properties;
                shortcuts.endStructure();
                described << id + u'|' + properties.value(QStringLiteral("preferred_trigger")).toString() +
                                 u'|' + properties.value(QStringLiteral("description")).toString();
            }
            shortcuts.endArray();
            calls << QStringLiteral("BindShortcuts ") + session + u' ' + described.join(u';');
            const QVariantMap options = qdbus_cast<QVariantMap>(args.value(3));
            respond(message, connection, options, refuseBind ? 1 : 0, {});
            return true;
        }
        if (interface == QLatin1String("org.freedesktop.portal.Session") &&
            member == QLatin1String("Close")) {
            calls << QStringLiteral("Close ") + message.path();
            openSessions.removeAll(message.path());
            connection.send(message.createReply());
            return true;
        }
        if (interface == QLatin1String("org.freedesktop.host.portal.Registry")) {
            // Like portal 1.16: no registry; host programs get an empty app id.
            connection.send(
                message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                         QStringLiteral("No such interface")));
            return true;
        }
        connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                                 QStringLiteral("Not faked: ") + interface + u'.' + member));
        return true;
    }

    void emitActivated(QDBusConnection connection, const QString &session, const QString &id)
    {
        QDBusMessage signal =
            QDBusMessage::createSignal(portalPath, shortcutsInterface, QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(1234) << QVariantMap();
        connection.send(signal);
    }

private:
    void respond(const QDBusMessage &message, const QDBusConnection &connection, const QVariantMap &options,
                 uint code, const QVariantMap &results)
    {
        const QString requestPath = QStringLiteral("/org/freedesktop/portal/desktop/request/") +
                                    senderPart(message.service()) + u'/' +
                                    options.value(QStringLiteral("handle_token")).toString();
        QDBusMessage response = QDBusMessage::createSignal(
            requestPath, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        response << code << results;
        connection.send(response);
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(requestPath))));
    }
};

class Control : public QDBusVirtualObject {
public:
    explicit Control(FakePortal &portal)
        : m_portal(portal)
    {
    }
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        const QString member = message.member();
        const QVariantList args = message.arguments();
        if (member == QLatin1String("Calls")) {
            connection.send(message.createReply(m_portal.calls));
        } else if (member == QLatin1String("Activate")) {
            if (!m_portal.openSessions.isEmpty())
                m_portal.emitActivated(connection, m_portal.openSessions.last(), args.value(0).toString());
            connection.send(message.createReply());
        } else if (member == QLatin1String("ActivateSession")) {
            m_portal.emitActivated(connection, qdbus_cast<QDBusObjectPath>(args.value(0)).path(),
                                   args.value(1).toString());
            connection.send(message.createReply());
        } else if (member == QLatin1String("SetRefuseBind")) {
            m_portal.refuseBind = args.value(0).toBool();
            connection.send(message.createReply());
        } else {
            connection.send(
                message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"), member));
        }
        return true;
    }

private:
    FakePortal &m_portal;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    FakePortal portal;
    Control control(portal);
    if (!bus.registerVirtualObject(portalPath, &portal, QDBusConnection::SubPath) ||
        !bus.registerVirtualObject(QStringLiteral("/test"), &control) ||
        !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
        std::fprintf(stderr, "fake portal: could not register on the bus\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
