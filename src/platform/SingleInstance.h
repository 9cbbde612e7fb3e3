#pragma once

#include <QObject>
#include <QStringList>

#include <qcoro/qcorotask.h>

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
    // The same, for a start that only hands its request over before any other
    // part of the program exists: a bus connection of its own, closed when
    // this object goes, so none is left behind for the application object
    // that may come next.
    static std::unique_ptr<SingleInstance> createForwarder(const QString &name);

Q_SIGNALS:
    // On the primary, for every later start.
    void activated(const QStringList &arguments, const QString &activationToken);
};
