#pragma once

#include "platform/SecretStore.h"

// The desktop's Secret Service (GNOME Keyring, KWallet) through libsecret's
// asynchronous calls, so an unlock prompt never freezes the program. Items go
// into the default collection under the schema "me.brindlefox.vocarta.menubar"
// with the string attributes "service" and "account"; the secret is the value's
// UTF-8 bytes.
//
// Without a usable Secret Service every operation still completes: loads give
// nothing, saves and removals are dropped, and failure() says why. There is
// never a plain-text fallback. The program itself reaches the store through
// HelperSecretStore, which runs this in a helper process.
class LibsecretStore : public SecretStore {
public:
    QCoro::Task<void> save(QString service, QString account, QString value, QString label) override;
    QCoro::Task<std::optional<QString>> load(QString service, QString account) override;
    QCoro::Task<void> remove(QString service, QString account) override;

    // Why the last operation could not use the store; nothing when it could.
    const std::optional<QString> &failure() const { return m_failure; }

private:
    std::optional<QString> m_failure;
};
