#pragma once

#include "update/UpdateCheckResult.h"

#include <QByteArray>
#include <QObject>
#include <QUrl>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <optional>

class QNetworkAccessManager;
class QTimer;

// Software updates: reads the update feed from the build's address, believes
// it only after its detached Ed25519 signature (the feed's address plus
// ".sig", base64) checks out against the build's public key, and compares the
// newest release with this build. Checks run at start and then every 24 hours;
// the menu asks for user-initiated checks, whose answer is always shown.
// Automatic checks only speak up when there is a newer release.
class Updater : public QObject {
    Q_OBJECT
public:
    struct Config {
        QUrl feedUrl;
        QByteArray publicKey; // base64, 32 bytes
        QString currentVersion;
        std::chrono::milliseconds interval = std::chrono::hours(24);
        std::chrono::milliseconds timeout = std::chrono::seconds(30);
        bool checksDisabled = false; // updates come from the distribution
    };
    using Presenter = std::function<void(const UpdateCheckResult &)>;

    // The build's configuration.
    static Config buildConfig();

    explicit Updater(Config config, QObject *parent = nullptr);
    ~Updater() override;

    // Where answers are shown.
    void setPresenter(Presenter presenter);

    // Checks now and then every interval. Does nothing when checks are off.
    void startAutomaticChecks();
    // The menu's "Check for Updates...": runs a check (or joins the running
    // one) and shows its answer. Returns at once.
    void checkForUpdates();
    // One check; never throws.
    QCoro::Task<UpdateCheckResult> check();

    bool checksDisabled() const { return m_config.checksDisabled; }

Q_SIGNALS:
    void checkFinished(const UpdateCheckResult &result, bool userInitiated);

private:
    QCoro::Task<void> runCheck(bool userInitiated);
    QCoro::Task<QByteArray> fetch(const QUrl &url, QString *error);
    UpdateCheckResult failed(const QString &reason) const;
    void present(const UpdateCheckResult &result);

    Config m_config;
    QNetworkAccessManager *m_network;
    QTimer *m_timer;
    Presenter m_presenter;
    bool m_checking = false;
    bool m_userWaiting = false;
};
