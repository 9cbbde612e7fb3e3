#pragma once

#include <QHostAddress>
#include <QString>

#include <chrono>

// Everything a running deployment can be told from the command line or a test.
struct DevServerConfig {
    QHostAddress host = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 3210;
    QString dataPath;
    std::chrono::milliseconds tokenTtl = std::chrono::hours(1);
    std::chrono::milliseconds refreshTokenTtl = std::chrono::hours(24 * 30);
    // A refresh token may be presented again for this long after its first use
    // (parallel refreshes of one client); later it counts as stolen.
    std::chrono::milliseconds refreshReuseGrace = std::chrono::seconds(10);
    std::chrono::milliseconds pingInterval = std::chrono::seconds(15);
    std::chrono::milliseconds linkCodeTtl = std::chrono::minutes(10);
    // The dictd folder whose FreeDict pairs translate words; empty: the
    // built-in word table only.
    QString dictionaryDir;
};
