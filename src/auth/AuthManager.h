#pragma once

#include "backend/AuthTokens.h"
#include "sync/Sleeper.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <QCoro/QCoroTask>

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
class AuthManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isAuthenticated READ isAuthenticated NOTIFY isAuthenticatedChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString error READ errorText NOTIFY errorChanged)
    Q_PROPERTY(bool hasError READ hasError NOTIFY errorChanged)
    Q_PROPERTY(QString userEmail READ userEmailText NOTIFY userEmailChanged)
    Q_PROPERTY(bool isRestored READ isRestored NOTIFY restored)

public:
    static const QString tokenKey;
    static const QString refreshTokenKey;
    static const QString keychainService;
    static constexpr std::chrono::minutes defaultGoogleCallbackTimeout{5};

    static AuthManager &shared();

    // `sleeper` (the waits between retries of the start-up refresh) defaults to real timers.
    AuthManager(ConvexClient &client, SecretStore &store, Browser &browser,
                std::unique_ptr<Sleeper> sleeper = {}, QObject *parent = nullptr);
    ~AuthManager() override;

    bool isAuthenticated() const { return m_isAuthenticated; }
    bool isLoading() const { return m_isLoading; }
    std::optional<QString> error() const { return m_error; }
    std::optional<QString> userEmail() const { return m_userEmail; }
    QString errorText() const { return m_error.value_or(QString()); }
    bool hasError() const { return m_error.has_value(); }
    QString userEmailText() const { return m_userEmail.value_or(QString()); }

    bool isRestored() const { return m_isRestored; }
    QCoro::Task<void> untilRestored();
    // The start-up work (restore, then the refresh and the e-mail query for a
    // restored session) has ended.
    bool isStartupFinished() const { return m_isStartupFinished; }
    QCoro::Task<void> untilStartupFinished();

    // Each sign-in starts its task and returns; the outcome shows in the
    // published state. The *Task forms never throw.
    Q_INVOKABLE void signInWithLinkCode(const QString &code);
    QCoro::Task<void> signInWithLinkCodeTask(QString code);
    Q_INVOKABLE void signIn(const QString &email, const QString &password, const QString &flow);
    QCoro::Task<void> signInTask(QString email, QString password, QString flow);
    Q_INVOKABLE void signInWithGoogle();
    QCoro::Task<void> signInWithGoogleTask();
    Q_INVOKABLE void signInWithApple();
    QCoro::Task<void> signInWithAppleTask();

    Q_INVOKABLE void signOut();

    // A vocarta:// URL handed to the program (by the browser, through a second
    // process). Completes a Google sign-in waiting for it; ignored otherwise.
    Q_INVOKABLE void handleCallbackUrl(const QUrl &url);

    QCoro::Task<void> fetchUserEmail();

    // Completes once every write to the secret store asked for so far has ended
    // (a rotated pair, a sign-in's pair, a sign-out's deletion). For the exit
    // path; the caller bounds the wait.
    QCoro::Task<void> finishPendingWrites();
    bool hasPendingWrites() const;

    // How long a Google sign-in waits for its callback before it is cancelled.
    void setGoogleCallbackTimeout(std::chrono::milliseconds timeout) { m_googleCallbackTimeout = timeout; }

Q_SIGNALS:
    void isAuthenticatedChanged();
    void isLoadingChanged();
    void errorChanged();
    void userEmailChanged();
    void restored();
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
    void noteIgnoredCallback();
    QCoro::Task<void> completeSignIn(AuthTokens tokens);
    QCoro::Task<AuthTokens> performGoogleSignIn();
    QCoro::Task<AuthTokens> performAppleSignIn();
    QCoro::Task<void> persistRefreshedPair(AuthTokens tokens);
    QCoro::Task<void> deleteStoredPair();

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
    // Counts sign-in attempts; only the newest one reports its outcome in
    // isLoading and error.
    quint64 m_signInAttempt = 0;

    QPointer<WebAuthSession> m_webAuthSession;
    // A callback that does not complete the pending sign-in is reported once per attempt.
    bool m_ignoredCallbackReported = false;
    std::chrono::milliseconds m_googleCallbackTimeout = defaultGoogleCallbackTimeout;

    // False once destroyed. The HTTP client and the secret store outlive the
    // session, and their answers resume its work; each step checks this
    // (through a copy held by the coroutine) before it touches the session again.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
