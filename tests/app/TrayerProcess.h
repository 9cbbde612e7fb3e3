#pragma once

#include <QProcess>

// An XEmbed system tray (trayer) on the test display, ended by its PID.
class TrayerProcess {
public:
    TrayerProcess()
    {
        m_process.setProgram(QStringLiteral("trayer"));
        m_process.setArguments({"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120",
                                "--height", "28", "--SetDockType", "true", "--transparent", "false", "--tint",
                                "0xdddddd"});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
    }
    ~TrayerProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            m_process.waitForFinished(10000);
        }
    }
    bool started() { return m_process.waitForStarted(10000); }

private:
    QProcess m_process;
};
