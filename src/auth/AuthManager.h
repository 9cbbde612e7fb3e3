#pragma once

#include "auth/Session.h"
#include "backend/AuthTokens.h"
#include "sync/Sleeper.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class Browser;
class ConvexClient;
class PendingSleep;
class SecretStore;
class TokenKeychain;
class WebAuthSession;

// The program's session: whether the user is signed in, the durable copy of the
// token pair in the secret store, the one refresh at start, the signed-in
// user's e-mail address, sign-out, and the sign-in methods.
//
// Restoring the stored pair is asynchronous (the store may have to be unlocked):
// isRestored() / restored() / untilRestored() say when the signed-in state read
// from the store is known.
//
// Every new pair the HTTP client obtains on its own (a refresh after 401, the
// sync connection's refresh) is saved too, because refresh tokens rotate.
// accountChanged() follows every sign-in and sign-out, so that live connections
// can start over with the right account.
//
// The session ends only when the server refuses it: a refresh that it answers
// with a refusal, on whichever path it was made, signs out (once). A refresh
// that gets no such answer (offline, a 5xx, 408, 429, a timeout) keeps the
// stored session; the one at start is then tried again, with growing waits,
// and the e-mail address is fetched once the deployment answers again.
class AuthManager : public Session {
    Q_OBJECT

public:
    static const QString tokenKey;
    static const QString refreshTokenKey;
    static const QString keychainService;
    static constexpr std::chrono::minutes defaultGoogleCallbackTimeout{5};

    // `sleeper` (the waits between retries of the start-up refresh) defaults to real timers.
    AuthManager(ConvexClient &client, SecretStore &store, Browser &browser,
                std::unique_ptr<Sleeper> sleeper = {}, QObject *parent = nullptr);
    ~AuthManager() override;

    bool isAuthenticated() const override { return m_isAuthenticated; }
    bool isLoading() const override { return m_isLoading; }
    std::optional<QString> error() const override { return m_error; }
    std::optional<QString> userEmail() const override { return m_userEmail; }

    bool isRestored() const override { return m_isRestored; }
    QCoro::Task<void> untilRestored() override;
    // The start-up work (restore, then the refresh and the e-mail query for a
    // restored session) has ended.
    bool isStartupFinished() const { return m_isStartupFinished; }
    QCoro::Task<void> untilStartupFinished();

    // Each sign-in starts its task and returns; the outcome shows in the
    // published state. The *Task forms never throw.
    void signInWithLinkCode(const QString &code) override;
    QCoro::Task<void> signInWithLinkCodeTask(QString code);
    Q_INVOKABLE void signIn(const QString &email, const QString &password, const QString &flow);
    QCoro::Task<void> signInTask(QString email, QString password, QString flow);
    Q_INVOKABLE void signInWithGoogle();
    QCoro::Task<void> signInWithGoogleTask();
    Q_INVOKABLE void signInWithApple();
    QCoro::Task<void> signInWithAppleTask();

    void signOut() override;
    // Completes a Google sign-in waiting for exactly this answer; anything else
    // is ignored (and said once).
    void handleCallbackUrl(const QUrl &url) override;

    QCoro::Task<void> fetchUserEmail();

    // Completes once no write to the secret store is queued or under way
    // (a rotated pair, a sign-in's pair, a sign-out's deletion). For the exit
    // path; the caller bounds the wait.
    QCoro::Task<void> finishPendingWrites();
    bool hasPendingWrites() const;

    // How long a Google sign-in waits for its callback before it is cancelled.
    void setGoogleCallbackTimeout(std::chrono::milliseconds timeout) { m_googleCallbackTimeout = timeout; }

Q_SIGNALS:
    void startupFinished();
    void accountChanged();

private:
    enum class ErrorTexts { Described, LinkCode };
    // Settled: refreshed, refused (the session has ended), or overtaken by
    // another refresh or a sign-in/out. Unanswered: worth another try.
    enum class RefreshOutcome { Settled, Unanswered };

    QCoro::Task<void> start();
    QCoro::Task<bool> restoreSession();
    QCoro::Task<RefreshOutcome> tryRefreshToken();
    // Fetches the e-mail address; false when the deployment gave no usable answer.
    QCoro::Task<bool> fetchUserEmailAnswered();
    // After a start without the deployment: tries again until it answers.
    QCoro::Task<void> catchUp(bool refreshPending, bool emailPending);
    void stopCatchingUp();
    void endRefusedSession();
    bool isReplacingPair() const;
    void noteIgnoredCallback();
    QCoro::Task<void> completeSignIn(AuthTokens tokens);
    QCoro::Task<AuthTokens> performGoogleSignIn();
    QCoro::Task<AuthTokens> performAppleSignIn();

    // The common frame of every sign-in method.
    QCoro::Task<void> runSignIn(std::function<QCoro::Task<AuthTokens>()> obtainTokens, ErrorTexts texts);

    void setAuthenticated(bool value);
    void setLoading(bool value);
    void setError(std::optional<QString> value);
    void setUserEmail(std::optional<QString> value);

    ConvexClient &m_client;
    Browser &m_browser;
    TokenKeychain *m_keychain;
    const std::unique_ptr<Sleeper> m_sleeper;
    std::shared_ptr<PendingSleep> m_catchUpSleep;

    bool m_isAuthenticated = false;
    bool m_isLoading = false;
    std::optional<QString> m_error;
    std::optional<QString> m_userEmail;

    bool m_isRestored = false;
    bool m_isStartupFinished = false;

    // Counts sign-ins and sign-outs. Work begun for one account (the start-up
    // refresh, an e-mail query, a sign-in's completion) checks it before it acts,
    // so that it never acts on the account that replaced it.
    quint64 m_accountGeneration = 0;
    // The account whose new pair is being written to the store while the
    // client still holds the pair it replaces (a sign-in through the browser
    // or a link code), 0 when none: what the server says of the replaced
    // pair meanwhile no longer concerns the user.
    quint64 m_replacingPair = 0;
    // Counts sign-in attempts; only the newest one reports its outcome in
    // isLoading and error.
    quint64 m_signInAttempt = 0;

    QPointer<WebAuthSession> m_webAuthSession;
    // A callback that does not complete the pending sign-in is reported once per attempt.
    bool m_ignoredCallbackReported = false;
    std::chrono::milliseconds m_googleCallbackTimeout = defaultGoogleCallbackTimeout;
};
