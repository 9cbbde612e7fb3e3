#include "DevAuth.h"

#include "DevClock.h"
#include "DevLog.h"
#include "DevStore.h"

#include <QRandomGenerator>

namespace {
constexpr qint64 keepExpiredMs = 24LL * 60 * 60 * 1000;
}

DevAuth::DevAuth(DevStore *store, DevClock *clock, const DevServerConfig &config)
    : m_store(store)
    , m_clock(clock)
    , m_config(config)
{
}

DevTokenPair DevAuth::startSession(const QString &userId)
{
    DevSession session{m_store->newId(), userId};
    m_store->state().sessions.append(session);
    pruneExpired();
    const DevTokenPair pair = issuePair(session.id);
    m_store->commit();
    return pair;
}

DevTokenPair DevAuth::issuePair(const QString &sessionId)
{
    const qint64 now = m_clock->nowMs();
    DevTokenPair pair{DevStore::newSecret(), DevStore::newSecret()};
    m_store->state().accessTokens.append(
        DevAccessToken{DevStore::digest(pair.token), sessionId, now + m_config.tokenTtl.count()});
    m_store->state().refreshTokens.append(DevRefreshToken{DevStore::digest(pair.refreshToken), sessionId,
                                                          now + m_config.refreshTokenTtl.count(),
                                                          std::nullopt});
    return pair;
}

DevAuth::AccessResult DevAuth::checkAccessToken(const QString &token) const
{
    const QString hash = DevStore::digest(token);
    DevState &state = m_store->state();
    for (const DevAccessToken &t : state.accessTokens) {
        if (t.hash != hash)
            continue;
        auto session = std::find_if(state.sessions.cbegin(), state.sessions.cend(),
                                    [&](const DevSession &s) { return s.id == t.sessionId; });
        if (session == state.sessions.cend())
            return {};
        if (t.expiresAt <= m_clock->nowMs())
            return {AccessCheck::Expired, {}};
        return {AccessCheck::Valid, DevIdentity{session->userId, session->id, t.expiresAt}};
    }
    return {};
}

std::optional<DevTokenPair> DevAuth::refresh(const QString &refreshToken)
{
    const QString hash = DevStore::digest(refreshToken);
    DevState &state = m_store->state();
    const qint64 now = m_clock->nowMs();
    auto it = std::find_if(state.refreshTokens.begin(), state.refreshTokens.end(),
                           [&](const DevRefreshToken &t) { return t.hash == hash; });
    if (it == state.refreshTokens.end() || it->expiresAt <= now) {
        devLog(QStringLiteral("   refresh refused: unknown or expired refresh token"));
        return std::nullopt;
    }
    const QString sessionId = it->sessionId;
    if (it->firstUsedAt && now - *it->firstUsedAt > m_config.refreshReuseGrace.count()) {
        devLog(QStringLiteral(
                   "   refresh refused: refresh token reused %1 ms after its first use; session ended")
                   .arg(now - *it->firstUsedAt));
        endSession(sessionId);
        return std::nullopt;
    }
    if (!it->firstUsedAt)
        it->firstUsedAt = now;
    pruneExpired();
    const DevTokenPair pair = issuePair(sessionId);
    m_store->commit();
    return pair;
}

void DevAuth::endSession(const QString &sessionId)
{
    DevState &state = m_store->state();
    state.sessions.removeIf([&](const DevSession &s) { return s.id == sessionId; });
    state.accessTokens.removeIf([&](const DevAccessToken &t) { return t.sessionId == sessionId; });
    state.refreshTokens.removeIf([&](const DevRefreshToken &t) { return t.sessionId == sessionId; });
    m_store->commit();
}

void DevAuth::pruneExpired()
{
    const qint64 horizon = m_clock->nowMs() - keepExpiredMs;
    DevState &state = m_store->state();
    state.accessTokens.removeIf([&](const DevAccessToken &t) { return t.expiresAt < horizon; });
    state.refreshTokens.removeIf([&](const DevRefreshToken &t) { return t.expiresAt < horizon; });
}

QString DevAuth::issueLinkCode(const QString &userId)
{
    static const char alphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    m_store->refreshLinkCodesFromDisk();
    QString code;
    do {
        code.clear();
        for (int i = 0; i < 8; ++i) {
            if (i == 4)
                code += u'-';
            code += QLatin1Char(alphabet[QRandomGenerator::system()->bounded(int(sizeof alphabet) - 1)]);
        }
    } while (std::any_of(m_store->state().linkCodes.cbegin(), m_store->state().linkCodes.cend(),
                         [&](const DevLinkCode &c) { return c.code == code; }));
    m_store->state().linkCodes.append(
        DevLinkCode{code, userId, m_clock->nowMs() + m_config.linkCodeTtl.count(), false});
    m_store->commit();
    return code;
}

std::optional<QString> DevAuth::redeemLinkCode(const QString &code)
{
    m_store->refreshLinkCodesFromDisk();
    for (DevLinkCode &c : m_store->state().linkCodes) {
        if (c.code != code)
            continue;
        if (c.used || c.expiresAt <= m_clock->nowMs())
            return std::nullopt;
        c.used = true;
        const QString userId = c.userId;
        m_store->commit();
        return userId;
    }
    return std::nullopt;
}
