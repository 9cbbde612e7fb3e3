#include "auth/AuthManager.h"

#include <QCoreApplication>

#include "auth/OAuthFragment.h"
#include "auth/PlatformError.h"
#include "auth/TokenKeychain.h"
#include "auth/WebAuthSession.h"
#include "backend/AuthSignInResponse.h"
#include "backend/ConfigurationError.h"
#include "backend/ConvexClient.h"
#include "backend/ConvexError.h"
#include "backend/Failure.h"
#include "backend/TransportError.h"
#include "backend/UserInfo.h"
#include "platform/Browser.h"
#include "platform/Log.h"
#include "platform/WhileAlive.h"
#include "sync/Backoff.h"
#include "sync/PendingSleep.h"
#include "sync/TimerSleeper.h"

#include "BuildConfig.h"

#include <QJsonObject>
#include <QRandomGenerator>
#include <QUrlQuery>
#include <QUuid>

#include <QCoroSignal>

const QString AuthManager::tokenKey = QStringLiteral("me.brindlefox.vocarta.menubar.jwt");
const QString AuthManager::refreshTokenKey = QStringLiteral("me.brindlefox.vocarta.menubar.refreshToken");
const QString AuthManager::keychainService = QStringLiteral("me.brindlefox.vocarta.menubar");

namespace {

QString linkCodeFailureText()
{
    return QCoreApplication::translate("AuthManager",
                                       "Invalid or expired code. Generate a new one in the iOS app.");
}

// Whether a failed call still got an answer from the deployment worth keeping:
// not when nothing came back, nor when the deployment said it is busy or
// unavailable for now (a captive portal or a proxy may say so too).
bool deploymentAnswered(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const TransportError &) {
        return false;
    } catch (const ConvexError &error) {
        if (error.kind() != ConvexError::Kind::ServerError)
            return true;
        const int status = error.code();
        return !(status >= 500 || status == 408 || status == 429 || (status >= 300 && status <= 399));
    } catch (...) {
        return true;
    }
}

// A value the callback must carry back: 32 random bytes, URL-safe.
QString newSignInState()
{
    QByteArray bytes(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

} // namespace

AuthManager::AuthManager(ConvexClient &client, SecretStore &store, Browser &browser,
                         std::unique_ptr<Sleeper> sleeper, QObject *parent)
    : Session(parent)
    , m_client(client)
    , m_browser(browser)
    , m_keychain(new TokenKeychain(store, keychainService, tokenKey, refreshTokenKey, this))
    , m_sleeper(sleeper ? std::move(sleeper) : std::make_unique<TimerSleeper>())
{
    connect(&m_client, &ConvexClient::sessionRejected, this, &AuthManager::endRefusedSession);
    connect(&m_client, &ConvexClient::tokensRefreshed, this,
            [this](const QString &authToken, const QString &refreshToken) {
                if (!m_isAuthenticated || isReplacingPair())
                    return;
                // A failed write is the keychain's to report.
                m_keychain->savePair(AuthTokens{authToken, refreshToken});
            });
    start();
}

AuthManager::~AuthManager()
{
    if (m_catchUpSleep)
        m_catchUpSleep->cancel();
}

// Start-up: restore the stored pair, then, for a restored session, refresh it
// once and learn the user's e-mail address.
QCoro::Task<void> AuthManager::start()
{
    // The keychain reads a store that fails as one holding nothing.
    const bool restoredSession = co_await restoreSession();
    m_isRestored = true;
    Q_EMIT restored();
    bool refreshPending = false;
    bool emailPending = false;
    if (restoredSession) {
        refreshPending = co_await tryRefreshToken() == RefreshOutcome::Unanswered;
        emailPending = !co_await fetchUserEmailAnswered();
    }
    m_isStartupFinished = true;
    Q_EMIT startupFinished();
    if (m_isAuthenticated && (refreshPending || emailPending))
        catchUp(refreshPending, emailPending);
}

QCoro::Task<bool> AuthManager::restoreSession()
{
    const quint64 generation = m_accountGeneration;
    const std::optional<QString> token = co_await whileAlive(this, m_keychain->loadToken());
    // A sign-in or sign-out while the store was read wins over what it held.
    if (!token || generation != m_accountGeneration)
        co_return false;
    const std::optional<QString> refreshToken = co_await whileAlive(this, m_keychain->loadRefreshToken());
    if (!refreshToken || generation != m_accountGeneration)
        co_return false;
    m_client.setTokens(*token, *refreshToken);
    setAuthenticated(true);
    co_return true;
}

QCoro::Task<void> AuthManager::untilRestored()
{
    if (!m_isRestored)
        co_await qCoro(this, &AuthManager::restored);
}

QCoro::Task<void> AuthManager::untilStartupFinished()
{
    if (!m_isStartupFinished)
        co_await qCoro(this, &AuthManager::startupFinished);
}

QCoro::Task<AuthManager::RefreshOutcome> AuthManager::tryRefreshToken()
{
    const quint64 generation = m_accountGeneration;
    const std::optional<QString> sentRefreshToken = m_client.refreshToken();
    bool unanswered = false;
    try {
        // A pair the client keeps is saved through its tokensRefreshed signal,
        // as every refresh is; a pair it drops (another refresh of the same
        // pair answered first) must not reach the keyring. A refusal ends the
        // session through sessionRejected, before this resumes.
        co_await whileAlive(this, m_client.refreshSession());
    } catch (const ConfigurationError &) {
        // An address that is never contacted: trying again cannot help.
    } catch (...) {
        // Offline, a timeout, the deployment busy or unavailable, an answer that
        // is not the deployment's: the stored session stays.
        unanswered = true;
    }
    if (generation != m_accountGeneration)
        co_return RefreshOutcome::Settled; // signed out (refused) or in again meanwhile
    if (unanswered && m_client.refreshToken() == sentRefreshToken)
        co_return RefreshOutcome::Unanswered;
    co_return RefreshOutcome::Settled;
}

QCoro::Task<void> AuthManager::fetchUserEmail()
{
    co_await fetchUserEmailAnswered();
}

QCoro::Task<bool> AuthManager::fetchUserEmailAnswered()
{
    const quint64 generation = m_accountGeneration;
    std::optional<QString> email;
    bool answered = true;
    try {
        const UserInfo user = co_await whileAlive(this, m_client.getCurrentUser());
        email = user.email;
    } catch (...) {
        email.reset();
        answered = deploymentAnswered(std::current_exception());
    }
    // An answer for an account that has been replaced meanwhile is stale.
    if (generation != m_accountGeneration)
        co_return true;
    setUserEmail(m_isAuthenticated ? email : std::nullopt);
    co_return answered;
}

QCoro::Task<void> AuthManager::catchUp(bool refreshPending, bool emailPending)
{
    const quint64 generation = m_accountGeneration;
    Backoff backoff(std::chrono::seconds(1), std::chrono::seconds(30));
    while (refreshPending || emailPending) {
        const std::shared_ptr<PendingSleep> sleep = m_sleeper->sleep(backoff.next());
        m_catchUpSleep = sleep;
        const bool timeIsUp = co_await whileAlive<bool>(this, sleep->wait());
        if (!timeIsUp || generation != m_accountGeneration)
            co_return;
        m_catchUpSleep.reset();
        if (refreshPending) {
            const RefreshOutcome outcome = co_await tryRefreshToken();
            if (generation != m_accountGeneration)
                co_return;
            refreshPending = outcome == RefreshOutcome::Unanswered;
            if (refreshPending)
                continue;
            // What answered the e-mail query before may not have been the
            // deployment (a captive portal's page): ask again now that it answers.
            emailPending = emailPending || !m_userEmail;
        }
        if (emailPending) {
            emailPending = !co_await fetchUserEmailAnswered();
            if (generation != m_accountGeneration)
                co_return;
        }
    }
}

// The start-up work left over belongs to the account that has just been replaced.
void AuthManager::stopCatchingUp()
{
    if (m_catchUpSleep) {
        m_catchUpSleep->cancel();
        m_catchUpSleep.reset();
    }
}

bool AuthManager::isReplacingPair() const
{
    return m_replacingPair != 0 && m_replacingPair == m_accountGeneration;
}

void AuthManager::endRefusedSession()
{
    // A new session is on its way, which a sign-out would throw away.
    if (isReplacingPair())
        return;
    // The client only reports a refusal of the pair it still holds, and the
    // sign-out clears that pair: later refusals of it report nothing.
    logLine(LogChannel::Shell, QStringLiteral("[Vocarta] The server ended the session; sign in again."));
    signOut();
}

QCoro::Task<void> AuthManager::finishPendingWrites()
{
    // The keychain is the store's only writer. A flush covers what was asked
    // before it; a write asked meanwhile (a refresh answered during the wait)
    // needs another.
    while (m_keychain->pendingOperations() > 0)
        co_await m_keychain->flush();
}

bool AuthManager::hasPendingWrites() const
{
    return m_keychain->pendingOperations() > 0;
}

QCoro::Task<void> AuthManager::completeSignIn(AuthTokens tokens)
{
    const quint64 generation = ++m_accountGeneration;
    stopCatchingUp();
    if (m_client.refreshToken() != tokens.refreshToken)
        m_replacingPair = generation;
    co_await whileAlive(this, m_keychain->savePair(tokens));
    if (m_replacingPair == generation)
        m_replacingPair = 0;
    if (generation != m_accountGeneration)
        co_return; // signed out or in again while the store was written
    m_client.setTokens(tokens.token, tokens.refreshToken);
    setAuthenticated(true);
    Q_EMIT accountChanged();
    co_await fetchUserEmail();
}

void AuthManager::signOut()
{
    ++m_accountGeneration;
    stopCatchingUp();
    m_client.signOut();
    m_keychain->deletePair();
    setAuthenticated(false);
    setUserEmail(std::nullopt);
    Q_EMIT accountChanged();
}

QCoro::Task<void> AuthManager::runSignIn(std::function<QCoro::Task<AuthTokens>()> obtainTokens,
                                         ErrorTexts texts)
{
    const quint64 attempt = ++m_signInAttempt;
    setLoading(true);
    setError(std::nullopt);
    std::optional<AuthTokens> tokens;
    std::optional<QString> failure;
    try {
        tokens = co_await whileAlive(this, obtainTokens());
    } catch (const std::exception &error) {
        failure = describe(error);
    } catch (...) {
        failure = QCoreApplication::translate("AuthManager", "Sign-in failed.");
    }
    if (tokens)
        co_await completeSignIn(*tokens);
    // A newer attempt owns the loading flag and the error text now.
    if (attempt != m_signInAttempt)
        co_return;
    if (failure)
        setError(texts == ErrorTexts::LinkCode ? linkCodeFailureText() : *failure);
    setLoading(false);
}

void AuthManager::signInWithLinkCode(const QString &code)
{
    signInWithLinkCodeTask(code);
}

QCoro::Task<void> AuthManager::signInWithLinkCodeTask(QString code)
{
    return runSignIn([this, code]() { return m_client.redeemMacLinkCode(code); }, ErrorTexts::LinkCode);
}

void AuthManager::signIn(const QString &email, const QString &password, const QString &flow)
{
    signInTask(email, password, flow);
}

QCoro::Task<void> AuthManager::signInTask(QString email, QString password, QString flow)
{
    return runSignIn([this, email, password, flow]() { return m_client.signIn(email, password, flow); },
                     ErrorTexts::Described);
}

void AuthManager::signInWithGoogle()
{
    signInWithGoogleTask();
}

QCoro::Task<void> AuthManager::signInWithGoogleTask()
{
    return runSignIn([this]() { return performGoogleSignIn(); }, ErrorTexts::Described);
}

void AuthManager::signInWithApple()
{
    signInWithAppleTask();
}

QCoro::Task<void> AuthManager::signInWithAppleTask()
{
    return runSignIn([this]() { return performAppleSignIn(); }, ErrorTexts::Described);
}

QCoro::Task<AuthTokens> AuthManager::performGoogleSignIn()
{
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("client_id"), QString::fromUtf8(BuildConfig::googleClientId));
    query.addQueryItem(QStringLiteral("redirect_uri"), QStringLiteral("vocarta://auth/google"));
    query.addQueryItem(QStringLiteral("response_type"), QStringLiteral("token id_token"));
    query.addQueryItem(QStringLiteral("scope"), QStringLiteral("openid email profile"));
    query.addQueryItem(QStringLiteral("nonce"), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    // Any page can hand the program a vocarta:// link; only the one carrying
    // this attempt's value back is the answer to this attempt (else a page could
    // sign the user in to an account of its choosing).
    const QString state = newSignInState();
    query.addQueryItem(QStringLiteral("state"), state);
    QUrl url(QStringLiteral("https://accounts.google.com/o/oauth2/v2/auth"));
    url.setQuery(query);
    if (!url.isValid())
        throw ConvexError::authFailed(QStringLiteral("Invalid Google OAuth URL"));

    // One attempt waits at a time: a new one cancels the one before.
    if (m_webAuthSession)
        m_webAuthSession->cancel();
    auto session = std::make_unique<WebAuthSession>(m_googleCallbackTimeout, state);
    m_webAuthSession = session.get();
    m_ignoredCallbackReported = false;
    if (!m_browser.openUrl(url))
        throw PlatformError::browserFailed();
    const QUrl callback = co_await whileAlive(this, session->callbackUrl());
    session.reset();

    if (!callback.hasFragment())
        throw ConvexError::authFailed(QStringLiteral("No fragment in callback URL"));
    const QHash<QString, QString> members = OAuthFragment::parse(callback.fragment(QUrl::FullyEncoded));
    const auto idToken = members.constFind(QStringLiteral("id_token"));
    if (idToken == members.constEnd())
        throw ConvexError::authFailed(QStringLiteral("No id_token in Google response"));

    // No "verifier" member: the server's validator refuses a null one.
    const QJsonObject args{{QStringLiteral("provider"), QStringLiteral("google")},
                           {QStringLiteral("params"), QJsonObject{{QStringLiteral("idToken"), *idToken}}}};
    const AuthSignInResponse response = co_await m_client.callActionUnauthenticatedPublic<AuthSignInResponse>(
        QStringLiteral("auth:signIn"), args);
    if (!response.tokens)
        throw ConvexError::authFailed(QStringLiteral("No tokens from Google sign-in"));
    co_return *response.tokens;
}

QCoro::Task<AuthTokens> AuthManager::performAppleSignIn()
{
    // There is no Apple ID sheet on this system.
    throw PlatformError::appleSignInUnavailable();
    co_return AuthTokens{};
}

void AuthManager::handleCallbackUrl(const QUrl &url)
{
    if (m_webAuthSession && !m_webAuthSession->isFinished() && m_webAuthSession->isAnswer(url)) {
        m_webAuthSession->complete(url);
        return;
    }
    noteIgnoredCallback();
}

// What came in may hold someone's tokens: it is never written anywhere.
void AuthManager::noteIgnoredCallback()
{
    if (m_ignoredCallbackReported)
        return;
    m_ignoredCallbackReported = true;
    logLine(LogChannel::Shell,
            QStringLiteral("[Vocarta] Ignored a vocarta:// link that does not answer a pending sign-in."));
}

void AuthManager::setAuthenticated(bool value)
{
    if (m_isAuthenticated == value)
        return;
    m_isAuthenticated = value;
    Q_EMIT isAuthenticatedChanged();
}

void AuthManager::setLoading(bool value)
{
    if (m_isLoading == value)
        return;
    m_isLoading = value;
    Q_EMIT isLoadingChanged();
}

void AuthManager::setError(std::optional<QString> value)
{
    if (m_error == value)
        return;
    m_error = std::move(value);
    Q_EMIT errorChanged();
}

void AuthManager::setUserEmail(std::optional<QString> value)
{
    if (m_userEmail == value)
        return;
    m_userEmail = std::move(value);
    Q_EMIT userEmailChanged();
}
