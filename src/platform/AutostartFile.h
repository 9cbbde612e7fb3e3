#pragma once

#include "platform/Autostart.h"

// Start at login through the XDG autostart folder (~/.config/autostart): an
// entry named after the program's desktop file id that runs it with
// --autostart. Present and not hidden means on; turning it off removes it.
class AutostartFile : public Autostart {
    Q_OBJECT

public:
    // `program`: the executable to start, by its absolute path.
    AutostartFile(QString directory, QString program, QObject *parent = nullptr);

    QString filePath() const;
    // The entry's Exec line: the program by its bare name when that is what
    // PATH finds, so an entry outlives an upgrade that moves nothing; else by
    // its full path, quoted as desktop entries require.
    static QString execLine(const QString &program);

protected:
    bool read() const override;
    QCoro::Task<bool> write(bool on) override;

private:
    bool writeEntry() const;

    QString m_directory;
    QString m_program;
};
