#include "platform/Autostart.h"

#include "platform/AutostartFile.h"
#include "platform/AutostartPortal.h"
#include "platform/WhileAlive.h"

#include <QDBusConnection>
#include <QFileInfo>
#include <QStandardPaths>

Autostart::Autostart(QObject *parent)
    : QObject(parent)
{
}

Autostart::~Autostart() = default;

void Autostart::refresh()
{
    update(read());
}

void Autostart::setEnabled(bool on)
{
    change(on);
}

QCoro::Task<bool> Autostart::change(bool on)
{
    const bool result = co_await whileAlive(this, write(on));
    update(result);
    co_return result;
}

void Autostart::update(bool enabled)
{
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    Q_EMIT enabledChanged();
}

std::unique_ptr<Autostart> Autostart::create(const QString &program)
{
    std::unique_ptr<Autostart> autostart;
    if (QFileInfo::exists(QStringLiteral("/.flatpak-info"))) {
        // Inside the sandbox the program is started by its name through flatpak.
        autostart = std::make_unique<AutostartPortal>(
            QDBusConnection::sessionBus(),
            QStringList{QFileInfo(program).fileName(), QStringLiteral("--autostart")});
    } else {
        autostart = std::make_unique<AutostartFile>(
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                QStringLiteral("/autostart"),
            program);
    }
    autostart->refresh();
    return autostart;
}
