#include "platform/atspi/AtspiFocusTracker.h"

#include <QDBusMessage>

namespace {
const QString eventInterface = QStringLiteral("org.a11y.atspi.Event.Object");
} // namespace

AtspiFocusTracker::AtspiFocusTracker(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
    m_bus.connect(QString(), QString(), eventInterface, QStringLiteral("StateChanged"), this,
                  SLOT(onStateChanged(QDBusMessage)));
    // Tells the applications someone listens; the answer does not matter.
    QDBusMessage registerEvent = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/registry"),
        QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("RegisterEvent"));
    registerEvent << QStringLiteral("object:state-changed:focused") << QStringList() << QString();
    m_bus.send(registerEvent);
}

AtspiFocusTracker::~AtspiFocusTracker()
{
    m_bus.disconnect(QString(), QString(), eventInterface, QStringLiteral("StateChanged"), this,
                     SLOT(onStateChanged(QDBusMessage)));
}

void AtspiFocusTracker::onStateChanged(const QDBusMessage &message)
{
    const QVariantList args = message.arguments();
    if (args.size() < 2 || args.at(0).toString() != QLatin1String("focused"))
        return;
    const Focus focus{message.service(), message.path()};
    if (args.at(1).toInt() == 1) {
        m_lastFocused = focus;
        Q_EMIT focusChanged();
    } else if (m_lastFocused && m_lastFocused->service == focus.service &&
               m_lastFocused->path == focus.path) {
        m_lastFocused.reset();
        Q_EMIT focusChanged();
    }
}
