#include "platform/atspi/AtspiFocusTracker.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

namespace {
const QString objectEvents = QStringLiteral("org.a11y.atspi.Event.Object");
const QString windowEvents = QStringLiteral("org.a11y.atspi.Event.Window");
// Bounds the table of applications seen; a desktop has far fewer.
constexpr int maxApplications = 256;
} // namespace

AtspiFocusTracker::AtspiFocusTracker(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
    // Only focus changes: every other state change of every application
    // would otherwise wake the program.
    m_bus.connect(QString(), QString(), objectEvents, QStringLiteral("StateChanged"),
                  {QStringLiteral("focused")}, QString(), this, SLOT(onStateChanged(QDBusMessage)));
    m_bus.connect(QString(), QString(), windowEvents, QStringLiteral("Activate"), this,
                  SLOT(onWindowActivated(QDBusMessage)));
    m_bus.connect(QString(), QString(), objectEvents, QStringLiteral("TextSelectionChanged"), this,
                  SLOT(onTextSelectionChanged(QDBusMessage)));
    m_bus.connect(QString(), QString(), objectEvents, QStringLiteral("TextChanged"), this,
                  SLOT(onTextChanged(QDBusMessage)));
    m_bus.connect(QString(), QString(), objectEvents, QStringLiteral("StateChanged"),
                  {QStringLiteral("defunct")}, QString(), this, SLOT(onTextChanged(QDBusMessage)));
    registerEvent(QStringLiteral("object:state-changed:focused"));
    registerEvent(QStringLiteral("window:activate"));
    registerEvent(QStringLiteral("object:text-selection-changed"));
    registerEvent(QStringLiteral("object:text-changed"));
    registerEvent(QStringLiteral("object:state-changed:defunct"));
}

AtspiFocusTracker::~AtspiFocusTracker()
{
    m_bus.disconnect(QString(), QString(), objectEvents, QStringLiteral("StateChanged"),
                     {QStringLiteral("focused")}, QString(), this, SLOT(onStateChanged(QDBusMessage)));
    m_bus.disconnect(QString(), QString(), windowEvents, QStringLiteral("Activate"), this,
                     SLOT(onWindowActivated(QDBusMessage)));
    m_bus.disconnect(QString(), QString(), objectEvents, QStringLiteral("TextSelectionChanged"), this,
                     SLOT(onTextSelectionChanged(QDBusMessage)));
    m_bus.disconnect(QString(), QString(), objectEvents, QStringLiteral("TextChanged"), this,
                     SLOT(onTextChanged(QDBusMessage)));
    m_bus.disconnect(QString(), QString(), objectEvents, QStringLiteral("StateChanged"),
                     {QStringLiteral("defunct")}, QString(), this, SLOT(onTextChanged(QDBusMessage)));
}

void AtspiFocusTracker::registerEvent(const QString &event)
{
    // Tells the applications someone listens; the answer does not matter.
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/registry"),
        QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("RegisterEvent"));
    message << event << QStringList() << QString();
    m_bus.send(message);
}

std::optional<AtspiFocusTracker::Focus> AtspiFocusTracker::current() const
{
    if (!m_focus)
        return std::nullopt;
    Focus focus = *m_focus;
    focus.windowActivatedSince = m_activations.value(focus.service) > m_focusSequence;
    return focus;
}

void AtspiFocusTracker::learn(const Focus &focus, quint64 recordsBefore)
{
    if (m_focusSequence != recordsBefore)
        return;
    m_focus = focus;
    m_focusSequence = ++m_sequence;
    Q_EMIT focusChanged();
}

void AtspiFocusTracker::setProcess(const QString &service, quint32 pid)
{
    if (m_focus && m_focus->service == service)
        m_focus->pid = pid;
}

void AtspiFocusTracker::onStateChanged(const QDBusMessage &message)
{
    const QVariantList args = message.arguments();
    if (args.size() < 2 || args.at(0).toString() != QLatin1String("focused"))
        return;
    const QString service = message.service();
    const QString path = message.path();
    const bool same = m_focus && m_focus->service == service && m_focus->path == path;
    if (args.at(1).toInt() != 1) {
        if (same)
            m_focus->lost = true;
        return;
    }
    const std::optional<quint32> knownPid =
        m_focus && m_focus->service == service ? m_focus->pid : std::nullopt;
    m_focus = Focus{service, path, knownPid, false};
    m_focusSequence = ++m_sequence;
    if (!knownPid) {
        // Asked now, off the shortcut's path, so a read at the press has it.
        QDBusMessage ask = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"));
        ask << service;
        auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(ask), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, service](QDBusPendingCallWatcher *call) {
                    call->deleteLater();
                    const QDBusMessage reply = call->reply();
                    if (reply.type() == QDBusMessage::ReplyMessage && reply.signature() == QLatin1String("u"))
                        setProcess(service, reply.arguments().constFirst().toUInt());
                });
    }
    Q_EMIT focusChanged();
}

void AtspiFocusTracker::onWindowActivated(const QDBusMessage &message)
{
    if (m_activations.size() >= maxApplications && !m_activations.contains(message.service()))
        m_activations.clear();
    m_activations.insert(message.service(), ++m_sequence);
}

void AtspiFocusTracker::onTextSelectionChanged(const QDBusMessage &message)
{
    Q_EMIT selectionChanged(message.service(), message.path());
}

void AtspiFocusTracker::onTextChanged(const QDBusMessage &message)
{
    Q_EMIT textChanged(message.service(), message.path());
}
