#pragma once

#include "firstrun/ShortcutRecorderModel.h"

class QObject;

// Makes the first-run window's models known to QML under "Vocarta.Models" 1.0:
// LinkCodeModel, ShortcutRecorderModel and ScrollingWordsRowModel types, the
// session as the singleton "FirstRunAuth", the shortcut manager as
// "GlobalShortcut", and "FirstRunConfig" with the phone app's download page. Uses AuthManager::shared() and
// ShortcutManager::shared(). Call once, before the window's QML is loaded.
void registerFirstRunQmlTypes();
// With the shortcut manager and the given session.
void registerFirstRunQmlTypes(QObject *auth);

// The same with explicit collaborators: `auth` is any object with the
// session's property and invokable names; `shortcutNotifier` emits
// `currentComboChanged()` when the manager's combination changes, and may
// have the manager's desktopTrigger, hotKeyProblem and canRecord.
void registerFirstRunQmlTypes(QObject *auth, ShortcutRecorderModel::Manager shortcuts,
                              QObject *shortcutNotifier);
