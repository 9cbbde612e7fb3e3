#pragma once

#include <QString>

#include <QCoroTask>

#include <optional>

// A per-user store of small secrets (the session's tokens), addressed by a
// service and an account. Every operation is asynchronous: a store may have to
// ask the user to unlock it, and the program must stay responsive meanwhile.
//
// None of the operations fails to its caller. A store that cannot be reached
// loads nothing and drops saves and removals; the session then simply is not
// remembered across restarts.
class SecretStore {
public:
    virtual ~SecretStore() = default;

    // Replaces whatever is stored under (service, account). The label is what a
    // person sees for the item in a keyring manager.
    virtual QCoro::Task<void> save(QString service, QString account, QString value, QString label) = 0;

    // The text stored under (service, account), or nothing when there is no such
    // item, the store is unreachable, or the stored bytes are not UTF-8 text.
    virtual QCoro::Task<std::optional<QString>> load(QString service, QString account) = 0;

    // Deletes the item under (service, account) if there is one.
    virtual QCoro::Task<void> remove(QString service, QString account) = 0;
};
