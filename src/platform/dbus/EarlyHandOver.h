#pragma once

#include "platform/SingleInstance.h"

#include <QString>
#include <QStringList>

// Hands a later start's request to the running copy over the session bus
// before this process has any application object: Qt keeps some state from
// a first application object that a second one (the GUI one this start
// becomes when nothing runs) does not recover from, so this is the launcher's
// libdbus call on a private connection. It waits for the answer (at most
// 10 s); nothing else runs in the process meanwhile. NoCopy also when there
// is no session bus: the start then claims, or forwards, the usual way.
namespace EarlyHandOver {

SingleInstance::Delivery forward(const QString &name, const QStringList &arguments,
                                 const QString &activationToken);

} // namespace EarlyHandOver
