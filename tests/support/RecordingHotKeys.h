#pragma once

#include "platform/HotKeyService.h"

#include <QList>

// Stands in for the desktop's hot key mechanism: records what the shortcut
// manager registers and how often it lets go.
class RecordingHotKeys : public HotKeyService {
public:
    QList<Chord> registered;
    int unregistrations = 0;
    void registerHotKey(const Chord &chord) override { registered.append(chord); }
    void unregisterHotKey() override { ++unregistrations; }
};
