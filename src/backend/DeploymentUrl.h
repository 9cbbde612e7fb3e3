#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// Where the backend lives: the build's fixed address, or VOCARTA_DEPLOYMENT_URL
// from the environment for development and tests. Tokens travel with every
// call, so plain http is only acceptable when the traffic never leaves the
// machine.
class DeploymentUrl {
public:
    static constexpr const char *environmentVariable = "VOCARTA_DEPLOYMENT_URL";

    // The address to use, with any trailing slash removed. It is not checked here:
    // see problem().
    static QUrl configured();

    // Why `url` must not be used, or nothing when it is fine: it must be a valid
    // absolute https address, or http to a loopback host.
    static std::optional<QString> problem(const QUrl &url);

    // 127.0.0.0/8, ::1 (also IPv4-mapped loopback) and "localhost".
    static bool isLoopbackHost(const QString &host);

    static QUrl withoutTrailingSlash(QUrl url);

    // The live-sync endpoint of the deployment at `baseURL`: wss (ws only for a
    // loopback host reached over plain http, so plain text never leaves the
    // machine), same host and port, path /api/sync.
    static QUrl syncUrl(const QUrl &baseURL);
};
