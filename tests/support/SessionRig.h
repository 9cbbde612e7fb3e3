#pragma once

#include "FakeDeployment.h"
#include "TestSleepers.h"

#include "MemorySecretStore.h"
#include "auth/AuthManager.h"
#include "backend/ConvexClient.h"
#include "platform/Browser.h"

#include <QJsonObject>
#include <QtTest>

#include <functional>
#include <memory>

// A browser that only records what it was asked to open; `onOpen` may answer
// (for example by handing a callback URL to the session).
class FakeBrowser : public Browser {
public:
    QList<QUrl> opened;
    bool works = true;
    std::function<void(const QUrl &)> onOpen;

    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        if (onOpen)
            onOpen(url);
        return works;
    }
};

// One session wired to a fake deployment, an in-memory secret store and a fake
// browser. Nothing here reaches the keyring or the browser of the person
// running the tests. The session's retry waits end only when a test ends them.
class SessionRig {
public:
    FakeDeployment server;
    ConvexClient client{server.url()};
    MemorySecretStore store;
    FakeBrowser browser;
    std::unique_ptr<AuthManager> manager;
    ManualSleeper *retryWaits = nullptr; // owned by the session

    static QString tokenKey() { return AuthManager::tokenKey; }
    static QString refreshKey() { return AuthManager::refreshTokenKey; }
    static QString service() { return AuthManager::keychainService; }

    void storePair(const QString &token, const QString &refreshToken)
    {
        store.put(service(), tokenKey(), token);
        store.put(service(), refreshKey(), refreshToken);
    }
    std::optional<QString> storedToken() const { return store.value(service(), tokenKey()); }
    std::optional<QString> storedRefreshToken() const { return store.value(service(), refreshKey()); }

    static QJsonObject tokens(const QString &token, const QString &refreshToken)
    {
        return QJsonObject{{QStringLiteral("token"), token}, {QStringLiteral("refreshToken"), refreshToken}};
    }
    void answerSignIn(const QString &token, const QString &refreshToken)
    {
        server.answer(QStringLiteral("auth:signIn"), FakeDeployment::Answer::issued(token, refreshToken));
    }
    void answerEmail(const QString &email)
    {
        server.answer(QStringLiteral("users:getCurrentUser"),
                      FakeDeployment::Answer::success(QJsonObject{
                          {QStringLiteral("_id"), QStringLiteral("u1")}, {QStringLiteral("email"), email}}));
    }

    AuthManager &start()
    {
        auto sleeper = std::make_unique<ManualSleeper>();
        retryWaits = sleeper.get();
        manager = std::make_unique<AuthManager>(client, store, browser, std::move(sleeper));
        return *manager;
    }

    // Lets the start-up work end before the test looks at the outcome.
    bool startAndSettle()
    {
        start();
        return QTest::qWaitFor([this] { return manager->isStartupFinished(); }, 20000);
    }

    // A stored session t1/r1, refreshed at start to t2/r2 for ana@example.com.
    bool startSignedIn()
    {
        storePair(QStringLiteral("t1"), QStringLiteral("r1"));
        answerSignIn(QStringLiteral("t2"), QStringLiteral("r2"));
        answerEmail(QStringLiteral("ana@example.com"));
        return startAndSettle();
    }
};
