#pragma once

#include "backend/AuthTokens.h"

#include <QObject>
#include <QString>

#include <QCoro/QCoroTask>

#include <coroutine>
#include <deque>
#include <optional>

class SecretStore;

// The session's two items in the secret store. Store operations are
// asynchronous, so they are run strictly one after another in the order they
// were asked for: a sign-out's deletion can never be overtaken by an earlier
// sign-in's save still in flight, nor an older refreshed pair land after a newer one.
class TokenKeychain : public QObject {
    Q_OBJECT

public:
    TokenKeychain(SecretStore &store, QString service, QString tokenAccount, QString refreshTokenAccount,
                  QObject *parent = nullptr);

    QCoro::Task<std::optional<QString>> loadToken();
    QCoro::Task<std::optional<QString>> loadRefreshToken();

    // Access token first, then refresh token.
    QCoro::Task<void> savePair(AuthTokens tokens);
    // Access token first, then refresh token.
    QCoro::Task<void> deletePair();

private:
    class Turn;
    Turn nextTurn();
    void endTurn();

    QCoro::Task<std::optional<QString>> load(QString account);

    SecretStore &m_store;
    const QString m_service;
    const QString m_tokenAccount;
    const QString m_refreshTokenAccount;

    bool m_busy = false;
    std::deque<std::coroutine_handle<>> m_waiting;
    // What the store holds as far as this object wrote it, so that a pair
    // saved twice (a refresh reported by the client and by its caller) is written once.
    std::optional<AuthTokens> m_lastSaved;
};
