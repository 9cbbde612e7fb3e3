#include "backend/DeploymentUrl.h"

#include "BuildConfig.h"

#include <QHostAddress>

QUrl DeploymentUrl::configured()
{
    const QByteArray fromEnvironment = qgetenv(environmentVariable).trimmed();
    const QString text = fromEnvironment.isEmpty() ? QString::fromUtf8(BuildConfig::deploymentUrl)
                                                   : QString::fromUtf8(fromEnvironment);
    return withoutTrailingSlash(QUrl(text, QUrl::StrictMode));
}

QUrl DeploymentUrl::withoutTrailingSlash(QUrl url)
{
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path);
    return url;
}

std::optional<QString> DeploymentUrl::problem(const QUrl &url)
{
    const QString shown = url.toDisplayString(QUrl::RemoveUserInfo);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return QStringLiteral("The deployment address \"") + shown + QStringLiteral("\" is not a valid URL.");
    if (url.hasQuery() || url.hasFragment())
        return QStringLiteral("The deployment address \"") + shown +
               QStringLiteral("\" must not have a query or fragment.");
    const QString scheme = url.scheme();
    if (scheme == QLatin1String("https"))
        return std::nullopt;
    if (scheme == QLatin1String("http")) {
        if (isLoopbackHost(url.host()))
            return std::nullopt;
        return QStringLiteral("Refusing to use the deployment address \"") + shown +
               QStringLiteral("\": plain http is only allowed for loopback hosts; use https.");
    }
    return QStringLiteral("The deployment address \"") + shown + QStringLiteral("\" must use https.");
}

bool DeploymentUrl::isLoopbackHost(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    QString bare = host;
    if (bare.startsWith(QLatin1Char('[')) && bare.endsWith(QLatin1Char(']')))
        bare = bare.mid(1, bare.size() - 2);
    QHostAddress address;
    if (!address.setAddress(bare))
        return false;
    return address.isLoopback();
}

QUrl DeploymentUrl::syncUrl(const QUrl &baseURL)
{
    QUrl url;
    const bool plainLoopback = baseURL.scheme() == QLatin1String("http") && isLoopbackHost(baseURL.host());
    url.setScheme(plainLoopback ? QStringLiteral("ws") : QStringLiteral("wss"));
    url.setHost(baseURL.host());
    url.setPort(baseURL.port());
    url.setPath(QStringLiteral("/api/sync"));
    return url;
}
