#pragma once

#include "app/AppShell.h"

#include <QStringList>

// Stands in for the subsystems the shell starts and calls: each call is
// recorded by name, in order ("accessibility", "shortcut", "updater",
// "overlay", "addCard", "capture", "updates").
class FakeSubsystems : public AppShell::Subsystems {
public:
    // No shortcut manager: the sign-in window's shortcut section stays empty.
    ShortcutManager *shortcuts() override { return nullptr; }
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
};
