#pragma once

#include "platform/SingleInstance.h"

class QLocalServer;

// Without a session bus: a socket in the user's runtime directory. A later
// start sends one JSON line {"arguments": [...], "token": "..."} and waits
// for "ok".
class LocalSocketSingleInstance : public SingleInstance {
    Q_OBJECT
public:
    explicit LocalSocketSingleInstance(QString socketPath, QObject *parent = nullptr);
    ~LocalSocketSingleInstance() override;

    QCoro::Task<Role> claim() override;
    QCoro::Task<bool> forward(QStringList arguments, QString activationToken) override;

    static QString defaultSocketPath(const QString &name);
    static constexpr qsizetype maximumMessage = 64 * 1024;

private:
    void onConnection();

    QString m_path;
    QLocalServer *m_server = nullptr;
};
