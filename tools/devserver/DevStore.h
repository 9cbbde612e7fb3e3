#pragma once

#include "DevState.h"

#include <QObject>
#include <QSet>

class DevClock;

// The deployment's state and its data file. Every change is written at once
// through an atomically replaced file that only its owner can read (mode
// 0600). Link codes may also be added to the file by another process (the
// link-code command) while a server runs, so they are merged from disk under
// a lock file before each write and each redemption.
class DevStore : public QObject {
    Q_OBJECT

public:
    static constexpr auto demoEmail = "demo@vocarta.test";
    static constexpr auto demoPassword = "vocarta-demo";

    DevStore(QString path, DevClock *clock, QObject *parent = nullptr);

    // Loads the file, or creates it with the demo account when it does not exist.
    bool open(QString *error);

    DevState &state() { return m_state; }
    const QString &path() const { return m_path; }

    // Writes the state; the users named see their live queries re-evaluated.
    bool commit(const QSet<QString> &changedUserIds = {});
    // Picks up link codes that another process added to the file.
    void refreshLinkCodesFromDisk();

    QString newId();
    static QString newSecret(int bytes = 32);
    static QString digest(const QString &secret);
    static QString passwordDigest(const QString &salt, const QString &password);

    DevUser &createUser(const QString &email, const QString &password);

Q_SIGNALS:
    void userDataChanged(const QString &userId);

private:
    void seedDemo();
    bool withLock(const std::function<bool()> &work);
    void mergeLinkCodes(const QList<DevLinkCode> &fromDisk);
    bool writeFile(QString *error);

    QString m_path;
    DevClock *m_clock;
    DevState m_state;
};
