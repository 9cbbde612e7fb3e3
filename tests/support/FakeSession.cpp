#include "FakeSession.h"

#include <QTimer>

#include <QCoroSignal>

QCoro::Task<void> FakeSession::untilRestored()
{
    ++restoreRequests;
    if (m_restored)
        co_return;
    if (const auto restore = std::exchange(m_restoreOnRequest, std::nullopt))
        QTimer::singleShot(restore->second, this,
                           [this, signedIn = restore->first] { finishRestore(signedIn); });
    co_await qCoro(this, &Session::restored);
}

void FakeSession::setAuthenticated(bool value)
{
    m_authenticated = value;
    Q_EMIT isAuthenticatedChanged();
}

void FakeSession::setLoading(bool value)
{
    m_loading = value;
    Q_EMIT isLoadingChanged();
}

void FakeSession::setError(const QString &text)
{
    m_error = text.isEmpty() ? std::nullopt : std::optional<QString>(text);
    Q_EMIT errorChanged();
}

void FakeSession::setUserEmail(const QString &value)
{
    m_email = value.isEmpty() ? std::nullopt : std::optional<QString>(value);
    Q_EMIT userEmailChanged();
}

void FakeSession::finishRestore(bool signedIn)
{
    if (signedIn)
        setAuthenticated(true);
    m_restored = true;
    Q_EMIT restored();
}

void FakeSession::setRestoreOnRequest(bool signedIn, std::chrono::milliseconds delay)
{
    m_restoreOnRequest = std::pair(signedIn, delay);
}

void FakeSession::signInWithLinkCode(const QString &code)
{
    codes.append(code);
    setError(QString());
    setLoading(true);
}

void FakeSession::signOut()
{
    ++signOutCalls;
    setUserEmail(QString());
    setAuthenticated(false);
}
