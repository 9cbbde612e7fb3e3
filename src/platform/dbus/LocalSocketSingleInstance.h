#pragma once

#include "platform/SingleInstance.h"

#include <sys/types.h>

class QLocalServer;

// Without a session bus: a socket in a directory only this user can enter
// (the runtime directory, else one of our own in the temporary directory). A
// later start sends one line (SingleInstanceMessage) and waits for "ok". Both
// ends make sure the other runs as the expected user before they trust it.
class LocalSocketSingleInstance : public SingleInstance {
    Q_OBJECT
public:
    // `peerUser`: who the other end must be; this process's user unless a
    // test says otherwise. The directory is always this process's user's.
    explicit LocalSocketSingleInstance(QString socketPath, QObject *parent = nullptr);
    LocalSocketSingleInstance(QString socketPath, uid_t peerUser, QObject *parent = nullptr);
    ~LocalSocketSingleInstance() override;

    QCoro::Task<Role> claim() override;
    QCoro::Task<Delivery> forward(QStringList arguments, QString activationToken) override;

    static QString defaultSocketPath(const QString &name);

private:
    void onConnection();
    bool directoryIsPrivate() const;

    QString m_path;
    uid_t m_user;
    QLocalServer *m_server = nullptr;
};
