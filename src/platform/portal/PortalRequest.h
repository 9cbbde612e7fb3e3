#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

#include <optional>

class QDBusMessage;

// One org.freedesktop.portal.Request: subscribed to its Response signal on a
// path computed before the call, so an answer sent before the call's reply is
// not lost. Keeps the answer until the caller looks.
class PortalRequest : public QObject {
    Q_OBJECT

public:
    struct Response {
        quint32 code = 2; // 0 success, 1 cancelled by the user, 2 other failure
        QVariantMap results;
    };

    PortalRequest(QDBusConnection bus, QString path, QObject *parent = nullptr);
    ~PortalRequest() override;

    // Older portals answered on a path of their own choosing: follow it too.
    void alsoListenOn(const QString &path);

    const std::optional<Response> &response() const { return m_response; }

    // The request path for `token`, as the portal builds it from our unique name.
    static QString pathFor(const QDBusConnection &bus, const QString &token);

Q_SIGNALS:
    void answered();

private Q_SLOTS:
    void onResponse(const QDBusMessage &message);

private:
    void listen(const QString &path);

    QDBusConnection m_bus;
    QStringList m_paths;
    std::optional<Response> m_response;
};
