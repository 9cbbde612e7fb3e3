#pragma once

#include "backend/AuthTokens.h"

#include <QObject>
#include <QString>

#include <QCoroTask>

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

    // Refresh token first, then access token: a write cut short between the
    // two leaves the new refresh token, which still obtains a working pair
    // (the other order would leave a refresh token the server has retired).
    QCoro::Task<void> savePair(AuthTokens tokens);
    // Access token first, then refresh token.
    QCoro::Task<void> deletePair();

    // Completes once every operation asked for before it has ended (at exit,
    // so that a rotated pair or a sign-out reaches the store).
    QCoro::Task<void> flush();
    // Operations asked for and not yet ended.
    int pendingOperations() const { return m_pending; }

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
    int m_pending = 0;
    std::deque<std::coroutine_handle<>> m_waiting;
    // What the store holds as far as this object wrote it, so that a pair
    // saved twice (a refresh reported by the client and by its caller) is written once.
    std::optional<AuthTokens> m_lastSaved;
};
