#pragma once

#include "auth/Session.h"

#include <QList>
#include <QStringList>
#include <QUrl>

#include <chrono>

// Stands in for the session: the test sets its state (each setter announces
// the change, also one that repeats the value) and reads back the requests.
class FakeSession : public Session {
    Q_OBJECT
public:
    using Session::Session;

    bool isAuthenticated() const override { return m_authenticated; }
    bool isLoading() const override { return m_loading; }
    std::optional<QString> error() const override { return m_error; }
    std::optional<QString> userEmail() const override { return m_email; }
    bool isRestored() const override { return m_restored; }
    // Counts the call; restores as setRestoreOnRequest() says.
    QCoro::Task<void> untilRestored() override;

    void setAuthenticated(bool value);
    void setLoading(bool value);
    // An empty text clears the error.
    void setError(const QString &text);
    void setUserEmail(const QString &value);
    // Restored now, signed in or not.
    void finishRestore(bool signedIn);
    // The first untilRestored() restores after `delay`, signed in or not.
    void setRestoreOnRequest(bool signedIn, std::chrono::milliseconds delay);

    // Records the code, then shows a sign-in under way.
    void signInWithLinkCode(const QString &code) override;
    // Counts the call, then signs out.
    void signOut() override;
    void handleCallbackUrl(const QUrl &url) override { callbackUrls.append(url); }

    QStringList codes;
    int signOutCalls = 0;
    QList<QUrl> callbackUrls;
    int restoreRequests = 0;

private:
    bool m_authenticated = false;
    bool m_loading = false;
    std::optional<QString> m_error;
    std::optional<QString> m_email;
    bool m_restored = false;
    std::optional<std::pair<bool, std::chrono::milliseconds>> m_restoreOnRequest;
};
