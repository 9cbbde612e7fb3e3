#pragma once

#include "platform/SingleInstance.h"

#include <QDBusConnection>

// The running copy owns the well-known name `name` on the session bus and
// exports Activate(as arguments, s activationToken) at /<name with slashes>,
// interface me.brindlefox.vocarta.menubar.Instance.
class DBusSingleInstance : public SingleInstance {
    Q_OBJECT
public:
    DBusSingleInstance(QDBusConnection bus, QString name, QObject *parent = nullptr);
    ~DBusSingleInstance() override;

    QCoro::Task<Role> claim() override;
    QCoro::Task<Delivery> forward(QStringList arguments, QString activationToken) override;

    QString objectPath() const;
    static QString interfaceName();

private:
    QDBusConnection m_bus;
    QString m_name;
    QObject *m_endpoint = nullptr;
};
