#include "MemorySecretStore.h"

#include <QTimer>

#include <QCoroTimer>

#include <chrono>

QCoro::Task<void> MemorySecretStore::settle(QString operation)
{
    if (onOperationStarted)
        onOperationStarted(operation);
    if (!m_deferred)
        co_return;
    QTimer timer;
    timer.setSingleShot(true);
    timer.start(std::chrono::milliseconds(m_delayMs));
    co_await timer;
}

QCoro::Task<void> MemorySecretStore::save(QString service, QString account, QString value, QString label)
{
    const QString operation = QStringLiteral("save %1=%2").arg(account, value);
    co_await settle(operation);
    m_operations.append(operation);
    if (m_available)
        m_items.insert({service, account}, Item{value, label});
}

QCoro::Task<std::optional<QString>> MemorySecretStore::load(QString service, QString account)
{
    const QString operation = QStringLiteral("load %1").arg(account);
    co_await settle(operation);
    m_operations.append(operation);
    if (!m_available)
        co_return std::nullopt;
    co_return value(service, account);
}

QCoro::Task<void> MemorySecretStore::remove(QString service, QString account)
{
    const QString operation = QStringLiteral("remove %1").arg(account);
    co_await settle(operation);
    m_operations.append(operation);
    if (m_available)
        m_items.remove({service, account});
}

void MemorySecretStore::put(const QString &service, const QString &account, const QString &value)
{
    m_items.insert({service, account}, Item{value, QString()});
}

std::optional<QString> MemorySecretStore::value(const QString &service, const QString &account) const
{
    const auto it = m_items.constFind({service, account});
    if (it == m_items.constEnd())
        return std::nullopt;
    return it->value;
}

QString MemorySecretStore::label(const QString &service, const QString &account) const
{
    return m_items.value({service, account}).label;
}
