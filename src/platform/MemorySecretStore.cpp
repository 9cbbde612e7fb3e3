#include "platform/MemorySecretStore.h"

#include <QTimer>

#include <QCoro/QCoroTimer>

#include <chrono>

QCoro::Task<void> MemorySecretStore::settle()
{
    if (!m_deferred)
        co_return;
    QTimer timer;
    timer.setSingleShot(true);
    timer.start(std::chrono::milliseconds(m_delayMs));
    co_await timer;
}

QCoro::Task<void> MemorySecretStore::save(QString service, QString account, QString value, QString label)
{
    co_await settle();
    m_operations.append(QStringLiteral("save %1=%2").arg(account, value));
    if (m_available)
        m_items.insert({service, account}, Item{value, label});
}

QCoro::Task<std::optional<QString>> MemorySecretStore::load(QString service, QString account)
{
    co_await settle();
    m_operations.append(QStringLiteral("load %1").arg(account));
    if (!m_available)
        co_return std::nullopt;
    co_return value(service, account);
}

QCoro::Task<void> MemorySecretStore::remove(QString service, QString account)
{
    co_await settle();
    m_operations.append(QStringLiteral("remove %1").arg(account));
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
