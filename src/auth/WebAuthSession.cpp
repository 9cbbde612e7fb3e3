#include "auth/WebAuthSession.h"

#include "auth/CallbackUrl.h"
#include "auth/PlatformError.h"

#include <QCoroSignal>

WebAuthSession::WebAuthSession(std::chrono::milliseconds timeLimit, QString state, QObject *parent)
    : QObject(parent)
    , m_state(std::move(state))
{
    m_timeLimit.setSingleShot(true);
    connect(&m_timeLimit, &QTimer::timeout, this, &WebAuthSession::cancel);
    m_timeLimit.start(timeLimit);
}

bool WebAuthSession::isAnswer(const QUrl &url) const
{
    return CallbackUrl::answers(url, m_state);
}

void WebAuthSession::complete(const QUrl &callbackUrl)
{
    finish(callbackUrl);
}

void WebAuthSession::cancel()
{
    finish(std::nullopt);
}

void WebAuthSession::finish(std::optional<QUrl> url)
{
    if (m_finished)
        return;
    m_finished = true;
    m_timeLimit.stop();
    m_url = std::move(url);
    Q_EMIT finished();
}

QCoro::Task<QUrl> WebAuthSession::callbackUrl()
{
    if (!m_finished)
        co_await qCoro(this, &WebAuthSession::finished);
    if (!m_url)
        throw PlatformError::cancelled();
    // A copy: QCoro moves from an lvalue handed to co_return, and every waiter
    // (and a later call) must still find the URL.
    co_return QUrl(*m_url);
}
