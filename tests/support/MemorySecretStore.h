#pragma once

#include "platform/SecretStore.h"

#include <QHash>
#include <QPair>
#include <QStringList>

#include <functional>

// A SecretStore held in memory: for tests that must not touch the desktop's
// store, and to observe what the session stores and in which order.
class MemorySecretStore : public SecretStore {
public:
    QCoro::Task<void> save(QString service, QString account, QString value, QString label) override;
    QCoro::Task<std::optional<QString>> load(QString service, QString account) override;
    QCoro::Task<void> remove(QString service, QString account) override;

    // Synchronous access for setting up and inspecting a scenario.
    void put(const QString &service, const QString &account, const QString &value);
    std::optional<QString> value(const QString &service, const QString &account) const;
    QString label(const QString &service, const QString &account) const;
    int itemCount() const { return int(m_items.size()); }

    // An unavailable store behaves like a missing Secret Service: loads give
    // nothing, saves and removals are dropped.
    void setAvailable(bool available) { m_available = available; }

    // When deferred, every operation completes on a later turn of the event loop
    // (after `delay` milliseconds), as a real store does.
    void setDeferred(bool deferred, int delayMs = 0)
    {
        m_deferred = deferred;
        m_delayMs = delayMs;
    }

    // Called as each operation begins, before it completes: lets a test act while
    // the store is busy.
    std::function<void(const QString &operation)> onOperationStarted;

    // Completed operations in order, as "save <account>=<value>", "load <account>",
    // "remove <account>".
    QStringList operations() const { return m_operations; }
    void clearOperations() { m_operations.clear(); }

private:
    QCoro::Task<void> settle(QString operation);

    struct Item {
        QString value;
        QString label;
    };
    QHash<QPair<QString, QString>, Item> m_items;
    QStringList m_operations;
    bool m_available = true;
    bool m_deferred = false;
    int m_delayMs = 0;
};
