#pragma once

#include "update/Appcast.h"

#include <QString>

// The answer of one update check.
struct UpdateCheckResult {
    enum class Kind { UpToDate, UpdateAvailable, Failed };
    Kind kind = Kind::Failed;
    QString currentVersion;
    AppcastItem newest; // meaningful for UpdateAvailable (and UpToDate when the feed had items)
    QString error;      // Failed: the reason, for people
};
