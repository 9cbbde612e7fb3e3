#pragma once

#include "app/AppShell.h"

#include <QStringList>

class Session;

// Stands in for the subsystems the shell starts and calls: each call is
// recorded by name, in order ("qml", "accessibility", "shortcut", "updater",
// "overlay", "addCard", "capture", "updates").
class FakeSubsystems : public AppShell::Subsystems {
public:
    // With a session, the QML step also makes the first-run pages' types
    // known, so that the shell's windows can be shown.
    explicit FakeSubsystems(Session *session = nullptr)
        : m_session(session)
    {
    }

    void registerQmlTypes() override;
    void requestAccessibility() override { calls << "accessibility"; }
    void loadAndRegisterShortcut() override { calls << "shortcut"; }
    void startUpdater() override { calls << "updater"; }
    void warmUpOverlay() override { calls << "overlay"; }
    void showAddCard() override { calls << "addCard"; }
    void triggerCapture(const QString &activationToken) override
    {
        calls << "capture";
        captureTokens << activationToken;
    }
    void checkForUpdates() override { calls << "updates"; }
    bool updatesFromDistribution() const override { return false; }

    QStringList calls;
    // The activation token of each capture request.
    QStringList captureTokens;

private:
    Session *m_session;
};
