#include "auth/TokenKeychain.h"

#include "backend/Failure.h"
#include "platform/Log.h"
#include "platform/SecretStore.h"
#include "platform/WhileAlive.h"

#include <QMetaObject>

class TokenKeychain::Turn {
public:
    explicit Turn(TokenKeychain *keychain)
        : m_keychain(keychain)
    {
    }
    bool await_ready() const noexcept
    {
        if (m_keychain->m_busy)
            return false;
        m_keychain->m_busy = true;
        return true;
    }
    void await_suspend(std::coroutine_handle<> handle) { m_keychain->m_waiting.push_back(handle); }
    void await_resume() const noexcept {}

private:
    TokenKeychain *m_keychain;
};

namespace {

// Why a store operation failed, for the log. A store's errors name no secret.
QString causeOf(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception &e) {
        return logText(e);
    } catch (...) {
        return QStringLiteral("an unknown failure");
    }
}

} // namespace

TokenKeychain::TokenKeychain(SecretStore &store, QString service, QString tokenAccount,
                             QString refreshTokenAccount, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_service(std::move(service))
    , m_tokenAccount(std::move(tokenAccount))
    , m_refreshTokenAccount(std::move(refreshTokenAccount))
{
}

TokenKeychain::Turn TokenKeychain::nextTurn()
{
    ++m_pending;
    return Turn(this);
}

void TokenKeychain::endTurn()
{
    --m_pending;
    if (m_waiting.empty()) {
        m_busy = false;
        return;
    }
    // The turn passes straight to the next waiter (m_busy stays set). It resumes
    // from the event loop, not from inside the operation that just ended.
    const std::coroutine_handle<> next = m_waiting.front();
    m_waiting.pop_front();
    QMetaObject::invokeMethod(
        this, [next] { next.resume(); }, Qt::QueuedConnection);
}

QCoro::Task<std::optional<QString>> TokenKeychain::load(QString account)
{
    co_await nextTurn();
    std::optional<QString> value;
    try {
        value = co_await whileAlive(this, m_store.load(m_service, account));
    } catch (...) {
        // A store never fails to its caller; should one throw, read it as absent.
        logLine(lcSecrets(),
                QStringLiteral("[Vocarta] Reading an item of the secret store failed (%1); taken as absent.")
                    .arg(causeOf(std::current_exception())));
    }
    endTurn();
    co_return value;
}

QCoro::Task<std::optional<QString>> TokenKeychain::loadToken()
{
    return load(m_tokenAccount);
}

QCoro::Task<std::optional<QString>> TokenKeychain::loadRefreshToken()
{
    return load(m_refreshTokenAccount);
}

QCoro::Task<void> TokenKeychain::savePair(AuthTokens tokens)
{
    co_await nextTurn();
    if (m_lastSaved != tokens) {
        try {
            co_await whileAlive(this, m_store.save(m_service, m_refreshTokenAccount, tokens.refreshToken,
                                                   QStringLiteral("Vocarta sign-in (refresh token)")));
            co_await whileAlive(this, m_store.save(m_service, m_tokenAccount, tokens.token,
                                                   QStringLiteral("Vocarta sign-in (access token)")));
            m_lastSaved = tokens;
        } catch (...) {
            logLine(lcSecrets(),
                    QStringLiteral("[Vocarta] Writing the token pair to the secret store failed (%1).")
                        .arg(causeOf(std::current_exception())));
            m_lastSaved.reset();
        }
    }
    endTurn();
}

QCoro::Task<void> TokenKeychain::deletePair()
{
    co_await nextTurn();
    m_lastSaved.reset();
    try {
        co_await whileAlive(this, m_store.remove(m_service, m_tokenAccount));
        co_await whileAlive(this, m_store.remove(m_service, m_refreshTokenAccount));
    } catch (...) {
        logLine(lcSecrets(),
                QStringLiteral("[Vocarta] Removing the token pair from the secret store failed (%1).")
                    .arg(causeOf(std::current_exception())));
    }
    endTurn();
}

QCoro::Task<void> TokenKeychain::flush()
{
    // Turns are taken in the order they were asked for: once this one comes,
    // everything before it has ended.
    co_await nextTurn();
    endTurn();
}
