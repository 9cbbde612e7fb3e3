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
    // What became of a forwarded request. NoCopy: nothing runs yet, so this
    // start may become the running copy.
    enum class Delivery { Delivered, NoCopy, Failed };

    using QObject::QObject;
    ~SingleInstance() override = default;

    // Tries to become the running copy.
    virtual QCoro::Task<Role> claim() = 0;
    // Delivers the arguments to the running copy; Delivered once it took them.
    virtual QCoro::Task<Delivery> forward(QStringList arguments, QString activationToken) = 0;

    // The session bus when there is one, else a local socket in a directory
    // only this user can enter. `name` is the bundle identifier.
    static std::unique_ptr<SingleInstance> create(const QString &name);
    // For a start that only hands its request over, before it has an
    // application object, and so before any display connection or font: the
    // running copy takes the request, or NoCopy when none runs.
    static Delivery forwardBeforeApplication(const QString &name, const QStringList &arguments,
                                             const QString &activationToken);

Q_SIGNALS:
    // On the primary, for every later start.
    void activated(const QStringList &arguments, const QString &activationToken);
};
