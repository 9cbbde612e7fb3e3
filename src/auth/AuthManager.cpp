#include "auth/AuthManager.h"

#include "auth/OAuthFragment.h"
#include "auth/PlatformError.h"
#include "auth/TokenKeychain.h"
#include "auth/WebAuthSession.h"
#include "backend/AuthSignInResponse.h"
#include "backend/ConvexClient.h"
#include "backend/ConvexError.h"
#include "backend/Failure.h"
#include "backend/UserInfo.h"
#include "platform/Browser.h"
#include "platform/Log.h"
#include "platform/WhileAlive.h"

#include "BuildConfig.h"

#include <QJsonObject>
#include <QUrlQuery>
#include <QUuid>

#include <QCoroSignal>

const QString AuthManager::tokenKey = QStringLiteral("me.brindlefox.vocarta.menubar.jwt");
const QString AuthManager::refreshTokenKey = QStringLiteral("me.brindlefox.vocarta.menubar.refreshToken");
const QString AuthManager::keychainService = QStringLiteral("me.brindlefox.vocarta.menubar");

namespace {

const QString linkCodeFailureText =
    QStringLiteral("Invalid or expired code. Generate a new one in the iOS app.");

} // namespace

AuthManager::AuthManager(ConvexClient &client, SecretStore &store, Browser &browser, QObject *parent)
    : Session(parent)
    , m_client(client)
    , m_browser(browser)
    , m_keychain(new TokenKeychain(store, keychainService, tokenKey, refreshTokenKey, this))
{
    connect(&m_client, &ConvexClient::tokensRefreshed, this,
            [this](const QString &authToken, const QString &refreshToken) {
                if (!m_isAuthenticated)
                    return;
                AuthTokens tokens{authToken, refreshToken};
                persistRefreshedPair(tokens);
            });
    start();
}

AuthManager::~AuthManager() = default;

// Start-up: restore the stored pair, then, for a restored session, refresh it
// once and learn the user's e-mail address.
QCoro::Task<void> AuthManager::start()
{
    bool restoredSession = false;
    try {
        restoredSession = co_await restoreSession();
    } catch (...) {
        qCWarning(lcSecrets, "Reading the stored sign-in failed; starting signed out.");
        restoredSession = false;
    }
    m_isRestored = true;
    Q_EMIT restored();
    if (restoredSession) {
        co_await tryRefreshToken();
        co_await fetchUserEmail();
    }
    m_isStartupFinished = true;
    Q_EMIT startupFinished();
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

QCoro::Task<void> AuthManager::tryRefreshToken()
{
    const quint64 generation = m_accountGeneration;
    bool rejected = false;
    try {
        // A pair the client keeps is saved through its tokensRefreshed signal,
        // as every refresh is; a pair it drops (another refresh of the same
        // pair answered first) must not reach the keyring.
        co_await whileAlive(this, m_client.refreshSession());
    } catch (const ConvexError &) {
        rejected = true;
    } catch (...) {
        // No answer from the server (offline at start): the stored session stays,
        // and the next authenticated call refreshes it.
    }
    if (generation != m_accountGeneration)
        co_return;
    if (rejected)
        signOut();
}

QCoro::Task<void> AuthManager::fetchUserEmail()
{
    const quint64 generation = m_accountGeneration;
    std::optional<QString> email;
    try {
        const UserInfo user = co_await whileAlive(this, m_client.getCurrentUser());
        email = user.email;
    } catch (...) {
        email.reset();
    }
    // An answer for an account that has been replaced meanwhile is stale.
    if (generation != m_accountGeneration)
        co_return;
    setUserEmail(m_isAuthenticated ? email : std::nullopt);
}

QCoro::Task<void> AuthManager::completeSignIn(AuthTokens tokens)
{
    const quint64 generation = ++m_accountGeneration;
    co_await whileAlive(this, m_keychain->savePair(tokens));
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
    m_client.signOut();
    deleteStoredPair();
    setAuthenticated(false);
    setUserEmail(std::nullopt);
    Q_EMIT accountChanged();
}

QCoro::Task<void> AuthManager::deleteStoredPair()
{
    try {
        co_await m_keychain->deletePair();
    } catch (...) {
        qCWarning(lcSecrets, "Removing the stored sign-in failed.");
    }
}

QCoro::Task<void> AuthManager::persistRefreshedPair(AuthTokens tokens)
{
    try {
        co_await m_keychain->savePair(std::move(tokens));
    } catch (...) {
        qCWarning(lcSecrets, "Storing a refreshed sign-in failed.");
    }
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
        failure = QStringLiteral("Sign-in failed.");
    }
    if (tokens) {
        try {
            co_await completeSignIn(*tokens);
        } catch (...) {
            qCWarning(lcSecrets, "Completing a sign-in failed.");
        }
    }
    // A newer attempt owns the loading flag and the error text now.
    if (attempt != m_signInAttempt)
        co_return;
    if (failure)
        setError(texts == ErrorTexts::LinkCode ? linkCodeFailureText : *failure);
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
    QUrl url(QStringLiteral("https://accounts.google.com/o/oauth2/v2/auth"));
    url.setQuery(query);
    if (!url.isValid())
        throw ConvexError::authFailed(QStringLiteral("Invalid Google OAuth URL"));

    // One attempt waits at a time: a new one cancels the one before.
    if (m_webAuthSession)
        m_webAuthSession->cancel();
    auto session = std::make_unique<WebAuthSession>(m_googleCallbackTimeout);
    m_webAuthSession = session.get();
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
    if (url.scheme() != QLatin1String("vocarta"))
        return;
    if (m_webAuthSession && !m_webAuthSession->isFinished())
        m_webAuthSession->complete(url);
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
