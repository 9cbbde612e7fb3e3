#pragma once

#include "platform/SecretStore.h"
#include "platform/secret/SecretHelperProtocol.h"

// The desktop's Secret Service, reached through vocarta-secret-helper: a
// short-lived process beside the program that does one operation with
// libsecret and ends. libsecret brings GIO, GObject and a D-Bus connection
// with two threads of its own, which would otherwise stay in the idle program
// for good for the few reads and writes a session makes.
//
// Requests and answers travel through the helper's standard input and output,
// never its command line, which every user of the machine can read. Without a
// usable store (or helper) every operation still completes: loads give
// nothing, saves and removals are dropped, and one line says that sign-in will
// not be kept across restarts.
class HelperSecretStore : public SecretStore {
public:
    // The helper installed beside the running program.
    HelperSecretStore();
    explicit HelperSecretStore(QString helper);

    QCoro::Task<void> save(QString service, QString account, QString value, QString label) override;
    QCoro::Task<std::optional<QString>> load(QString service, QString account) override;
    QCoro::Task<void> remove(QString service, QString account) override;

private:
    using Answer = SecretHelperProtocol::Answer;
    // One operation; says once when the store cannot be used.
    QCoro::Task<Answer> ask(SecretHelperProtocol::Request request);
    QCoro::Task<Answer> runHelper(SecretHelperProtocol::Request request);
    void reportUnavailable(const QString &reason);

    const QString m_helper;
    bool m_reported = false;
};
