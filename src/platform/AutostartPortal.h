#pragma once

#include "platform/Autostart.h"

#include <QDBusConnection>
#include <QStringList>

#include <chrono>

// Start at login inside a Flatpak sandbox: the Background portal's
// RequestBackground, which writes the host's autostart entry for us. The
// portal cannot be asked what it granted before, so the last answer is kept
// in the program's settings.
class AutostartPortal : public Autostart {
    Q_OBJECT

public:
    // `commandLine`: what the portal starts at login, inside the sandbox.
    AutostartPortal(QDBusConnection bus, QStringList commandLine, QObject *parent = nullptr);

    // How long the user may take to answer the desktop's question.
    void setResponseTimeout(std::chrono::milliseconds timeout) { m_responseTimeout = timeout; }

    static const QString settingsKey;

protected:
    bool read() const override;
    QCoro::Task<bool> write(bool on) override;

private:
    QDBusConnection m_bus;
    QStringList m_commandLine;
    std::chrono::milliseconds m_responseTimeout{std::chrono::minutes(2)};
};
