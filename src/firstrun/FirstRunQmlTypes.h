#pragma once

#include "firstrun/ShortcutRecorderModel.h"

class QObject;
class Session;

// Makes the first-run window's models known to QML under "Vocarta.Models" 1.0:
// LinkCodeModel, ShortcutRecorderModel and ScrollingWordsRowModel types, the
// session as the singleton "FirstRunAuth", the shortcut manager as
// "GlobalShortcut", and "FirstRunConfig" with the phone app's download page.
// `shortcutNotifier` emits `currentComboChanged()` when the manager's
// combination changes, and may have the manager's desktopTrigger,
// hotKeyProblem and canRecord. Call before the window's QML is loaded.
void registerFirstRunQmlTypes(Session *auth, ShortcutRecorderModel::Manager shortcuts,
                              QObject *shortcutNotifier);
