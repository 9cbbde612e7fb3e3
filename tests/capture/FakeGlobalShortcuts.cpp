// A stand-in for xdg-desktop-portal's GlobalShortcuts on the test bus.
// Answers every request with its Response signal *before* the method reply,
// as a fast portal may, so a client that subscribes late misses it.
// Shortcuts come in the "shortcuts" option of CreateSession and in
// BindShortcuts; bound ones get a trigger_description as KDE writes it
// ("Ctrl+Shift+K").
// Test control (interface org.vocarta.test.FakePortal on /test):
//   Calls() -> as        every call seen, as text
//   Activate(s id)       emits Activated for the newest open session (none if none is open)
//   ActivateSession(o session, s id)
//   SetCreateAnswer(s)   "plain" (default): only the session handle;
//                        "list": binds the option's shortcuts at once and lists them (Plasma 5.27);
//                        "fail": response code 2
//   SetBindAnswer(s)     "list" (default): binds and lists them; "none": binds, lists nothing
//                        (ListShortcuts tells); "empty": binds nothing; "declined": response code 1
//   SetDesktopTrigger(s) the trigger_description bound instead of the preferred trigger's
//   ChangeTrigger(s)     the user rebinds: every shortcut of the newest session gets this
//                        trigger, announced with ShortcutsChanged
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QHash>
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

// One shortcut as the portal answers with it: (id, {description, trigger_description}).
struct Listed {
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const Listed &listed)
{
    argument.beginStructure();
    argument << listed.id << listed.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, Listed &listed)
{
    argument.beginStructure();
    argument >> listed.id >> listed.properties;
    argument.endStructure();
    return argument;
}

struct Shortcut {
    QString id;
    QString preferredTrigger;
    QString description;
};

QList<Shortcut> readShortcuts(const QVariant &value)
{
    QList<Shortcut> shortcuts;
    const QDBusArgument argument = qvariant_cast<QDBusArgument>(value);
    if (argument.currentSignature() != QLatin1String("a(sa{sv})"))
        return shortcuts;
    argument.beginArray();
    while (!argument.atEnd()) {
        QString id;
        QVariantMap properties;
        argument.beginStructure();
        argument >> id >> properties;
        argument.endStructure();
        shortcuts.append({id, properties.value(QStringLiteral("preferred_trigger")).toString(),
                          properties.value(QStringLiteral("description")).toString()});
    }
    argument.endArray();
    return shortcuts;
}

QString describe(const QList<Shortcut> &shortcuts)
{
    QStringList described;
    for (const Shortcut &shortcut : shortcuts)
        described << shortcut.id + u'|' + shortcut.preferredTrigger + u'|' + shortcut.description;
    return described.join(u';');
}

// "CTRL+SHIFT+k" as KDE shows it: "Ctrl+Shift+K".
QString kdeWords(const QString &trigger)
{
    QStringList parts = trigger.split(u'+');
    for (QString &part : parts) {
        if (part == u"CTRL")
            part = QStringLiteral("Ctrl");
        else if (part == u"ALT")
            part = QStringLiteral("Alt");
        else if (part == u"SHIFT")
            part = QStringLiteral("Shift");
        else if (part == u"LOGO")
            part = QStringLiteral("Meta");
        else if (!part.isEmpty())
            part[0] = part[0].toUpper();
    }
    return parts.join(u'+');
}

} // namespace

Q_DECLARE_METATYPE(Listed)

namespace {

class FakePortal : public QDBusVirtualObject {
public:
    QStringList calls;
    QStringList openSessions;
    // What each open session has bound: shortcut id -> trigger description.
    QHash<QString, QList<QPair<QString, QString>>> bound;
    QString createAnswer = QStringLiteral("plain");
    QString bindAnswer = QStringLiteral("list");
    QString desktopTrigger;

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
            const QList<Shortcut> shortcuts = readShortcuts(options.value(QStringLiteral("shortcuts")));
            calls << QStringLiteral("CreateSession ") + sessionPath + u' ' + describe(shortcuts);
            if (createAnswer == u"fail") {
                respond(message, connection, options, 2, {});
                return true;
            }
            openSessions << sessionPath;
            QVariantMap results{{QStringLiteral("session_handle"), sessionPath}};
            if (createAnswer == u"list") {
                bind(sessionPath, shortcuts);
                results.insert(QStringLiteral("shortcuts"), listed(sessionPath));
            }
            respond(message, connection, options, 0, results);
            return true;
        }
        if (interface == shortcutsInterface && member == QLatin1String("BindShortcuts")) {
            const QString session = qdbus_cast<QDBusObjectPath>(args.value(0)).path();
            const QList<Shortcut> shortcuts = readShortcuts(args.value(1));
            calls << QStringLiteral("BindShortcuts ") + session + u' ' + describe(shortcuts);
            const QVariantMap options = qdbus_cast<QVariantMap>(args.value(3));
            if (bindAnswer == u"declined") {
                respond(message, connection, options, 1, {});
                return true;
            }
            if (bindAnswer != u"empty")
                bind(session, shortcuts);
            QVariantMap results;
            if (bindAnswer != u"none")
                results.insert(QStringLiteral("shortcuts"), listed(session));
            respond(message, connection, options, 0, results);
            return true;
        }
        if (interface == shortcutsInterface && member == QLatin1String("ListShortcuts")) {
            const QString session = qdbus_cast<QDBusObjectPath>(args.value(0)).path();
            calls << QStringLiteral("ListShortcuts ") + session;
            const QVariantMap options = qdbus_cast<QVariantMap>(args.value(1));
            respond(message, connection, options, 0, {{QStringLiteral("shortcuts"), listed(session)}});
            return true;
        }
        if (interface == QLatin1String("org.freedesktop.portal.Session") &&
            member == QLatin1String("Close")) {
            calls << QStringLiteral("Close ") + message.path();
            openSessions.removeAll(message.path());
            bound.remove(message.path());
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

    void changeTrigger(QDBusConnection connection, const QString &trigger)
    {
        if (openSessions.isEmpty())
            return;
        const QString session = openSessions.last();
        for (auto &shortcut : bound[session])
            shortcut.second = trigger;
        QDBusMessage signal =
            QDBusMessage::createSignal(portalPath, shortcutsInterface, QStringLiteral("ShortcutsChanged"));
        signal << QVariant::fromValue(QDBusObjectPath(session)) << listed(session);
        connection.send(signal);
    }

private:
    void bind(const QString &session, const QList<Shortcut> &shortcuts)
    {
        QList<QPair<QString, QString>> triggers;
        for (const Shortcut &shortcut : shortcuts)
            triggers.append({shortcut.id, desktopTrigger.isEmpty() ? kdeWords(shortcut.preferredTrigger)
                                                                   : desktopTrigger});
        bound.insert(session, triggers);
    }

    QVariant listed(const QString &session) const
    {
        QList<Listed> shortcuts;
        for (const auto &shortcut : bound.value(session)) {
            shortcuts.append({shortcut.first,
                              {{QStringLiteral("description"), QStringLiteral("listed")},
                               {QStringLiteral("trigger_description"), shortcut.second}}});
        }
        return QVariant::fromValue(shortcuts);
    }

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
        } else if (member == QLatin1String("SetCreateAnswer")) {
            m_portal.createAnswer = args.value(0).toString();
            connection.send(message.createReply());
        } else if (member == QLatin1String("SetBindAnswer")) {
            m_portal.bindAnswer = args.value(0).toString();
            connection.send(message.createReply());
        } else if (member == QLatin1String("SetDesktopTrigger")) {
            m_portal.desktopTrigger = args.value(0).toString();
            connection.send(message.createReply());
        } else if (member == QLatin1String("ChangeTrigger")) {
            m_portal.changeTrigger(connection, args.value(0).toString());
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
    qDBusRegisterMetaType<Listed>();
    qDBusRegisterMetaType<QList<Listed>>();
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
