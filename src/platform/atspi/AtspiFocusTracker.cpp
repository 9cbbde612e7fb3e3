#include "platform/atspi/AtspiFocusTracker.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

namespace {
constexpr char objectEvents[] = "org.a11y.atspi.Event.Object";
constexpr char windowEvents[] = "org.a11y.atspi.Event.Window";

// The bus signals followed and the events the registry is told of.
struct Subscription {
    const char *interface;
    const char *member;
    const char *detail; // the first argument to match, or none
    const char *slot;
    const char *event;
};
// Of the state changes only focus and gone objects: every other state
// change of every application would otherwise wake the program.
const Subscription subscriptions[] = {
    {objectEvents, "StateChanged", "focused", SLOT(onStateChanged(QDBusMessage)),
     "object:state-changed:focused"},
    {windowEvents, "Activate", nullptr, SLOT(onWindowActivated(QDBusMessage)), "window:activate"},
    {objectEvents, "TextSelectionChanged", nullptr, SLOT(onTextSelectionChanged(QDBusMessage)),
     "object:text-selection-changed"},
    {objectEvents, "TextChanged", nullptr, SLOT(onTextChanged(QDBusMessage)), "object:text-changed"},
    {objectEvents, "StateChanged", "defunct", SLOT(onTextChanged(QDBusMessage)),
     "object:state-changed:defunct"},
};

QStringList matchOf(const Subscription &subscription)
{
    return subscription.detail ? QStringList{QLatin1String(subscription.detail)} : QStringList();
}
// Bounds the table of applications seen; a desktop has far fewer.
constexpr int maxApplications = 256;
} // namespace

AtspiFocusTracker::AtspiFocusTracker(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
    for (const Subscription &subscription : subscriptions) {
        m_bus.connect(QString(), QString(), QLatin1String(subscription.interface),
                      QLatin1String(subscription.member), matchOf(subscription), QString(), this,
                      subscription.slot);
        registerEvent(QLatin1String(subscription.event));
    }
}

AtspiFocusTracker::~AtspiFocusTracker()
{
    for (const Subscription &subscription : subscriptions)
        m_bus.disconnect(QString(), QString(), QLatin1String(subscription.interface),
                         QLatin1String(subscription.member), matchOf(subscription), QString(), this,
                         subscription.slot);
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
