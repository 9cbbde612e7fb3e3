#pragma once

#include <QObject>
#include <QStringList>

#include <QCoroTask>

#include <memory>

// One running copy per user session. The first start owns a name; later
// starts hand their arguments (and the activation token the desktop gave
// them) to it and exit.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role { Primary, Secondary, Unavailable };

    using QObject::QObject;
    ~SingleInstance() override = default;

    // Tries to become the running copy.
    virtual QCoro::Task<Role> claim() = 0;
    // From a secondary: delivers the arguments; true once the primary took them.
    virtual QCoro::Task<bool> forward(QStringList arguments, QString activationToken) = 0;

    // The session bus when there is one, else a local socket in the runtime
    // directory. `name` is the bundle identifier.
    static std::unique_ptr<SingleInstance> create(const QString &name);

Q_SIGNALS:
    // On the primary, for every later start.
    void activated(const QStringList &arguments, const QString &activationToken);
};
