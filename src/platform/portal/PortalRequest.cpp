#include "platform/portal/PortalRequest.h"

#include <QDBusArgument>
#include <QDBusMessage>

namespace {
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
} // namespace

PortalRequest::PortalRequest(QDBusConnection bus, QString path, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
    listen(path);
}

PortalRequest::~PortalRequest()
{
    for (const QString &path : std::as_const(m_paths)) {
        m_bus.disconnect(portalService, path, requestInterface, QStringLiteral("Response"), this,
                         SLOT(onResponse(QDBusMessage)));
    }
}

void PortalRequest::alsoListenOn(const QString &path)
{
    if (!m_paths.contains(path))
        listen(path);
}

QString PortalRequest::pathFor(const QDBusConnection &bus, const QString &token)
{
    QString sender = bus.baseService();
    if (sender.startsWith(u':'))
        sender.remove(0, 1);
    sender.replace(u'.', u'_');
    return QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + u'/' + token;
}

void PortalRequest::listen(const QString &path)
{
    m_paths.append(path);
    // Qt 6.4 cannot connect typed slots for a{sv} arguments: take the message.
    m_bus.connect(portalService, path, requestInterface, QStringLiteral("Response"), this,
                  SLOT(onResponse(QDBusMessage)));
}

void PortalRequest::onResponse(const QDBusMessage &message)
{
    if (m_response)
        return;
    const QVariantList args = message.arguments();
    Response response;
    if (args.size() >= 1 && args.at(0).metaType() == QMetaType::fromType<uint>())
        response.code = args.at(0).toUInt();
    if (args.size() >= 2) {
        const QVariant results = args.at(1);
        if (results.canConvert<QDBusArgument>()) {
            const QDBusArgument argument = qvariant_cast<QDBusArgument>(results);
            if (argument.currentSignature() == QLatin1String("a{sv}"))
                argument >> response.results;
        } else if (results.metaType() == QMetaType::fromType<QVariantMap>())
            response.results = results.toMap();
    }
    m_response = response;
    Q_EMIT answered();
}
