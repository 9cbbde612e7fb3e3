#pragma once

#include "DevServerConfig.h"

#include <QString>

#include <optional>

class DevClock;
class DevStore;

struct DevTokenPair {
    QString token;
    QString refreshToken;
};

struct DevIdentity {
    QString userId;
    QString sessionId;
    qint64 expiresAt = 0;
};

// Sessions, access and refresh tokens, and link codes, with the rules of the
// real deployment: access tokens expire, refresh tokens rotate on every use and
// a used one is accepted again only for a short grace, after which presenting
// it ends the whole session; link codes are one-time and expire.
class DevAuth {
public:
    enum class AccessCheck { Valid, Unknown, Expired };
    struct AccessResult {
        AccessCheck check = AccessCheck::Unknown;
        DevIdentity identity;
    };

    DevAuth(DevStore *store, DevClock *clock, const DevServerConfig &config);

    DevTokenPair startSession(const QString &userId);
    AccessResult checkAccessToken(const QString &token) const;
    std::optional<DevTokenPair> refresh(const QString &refreshToken);
    void endSession(const QString &sessionId);

    // Codes look like ABCD-EFGH: eight letters and digits without look-alikes.
    QString issueLinkCode(const QString &userId);
    std::optional<QString> redeemLinkCode(const QString &code);

private:
    DevTokenPair issuePair(const QString &sessionId);
    void pruneExpired();

    DevStore *m_store;
    DevClock *m_clock;
    DevServerConfig m_config;
};
