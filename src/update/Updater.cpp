#include "update/Updater.h"

#include "BuildConfig.h"
#include "backend/Failure.h"
#include "platform/WhileAlive.h"
#include "update/FeedSignature.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <QCoroNetworkReply>

Updater::Config Updater::buildConfig()
{
    Config config;
    config.feedUrl = QUrl(QString::fromUtf8(BuildConfig::updateFeedUrl));
    config.publicKey = QByteArray(BuildConfig::updatePublicKey);
    config.currentVersion = QString::fromUtf8(BuildConfig::version);
    config.checksDisabled = BuildConfig::updatesFromDistribution;
    return config;
}

Updater::Updater(Config config, QObject *parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_network(new QNetworkAccessManager(this))
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(m_config.interval);
    connect(m_timer, &QTimer::timeout, this, [this] { runCheck(false); });
}

Updater::~Updater() = default;

void Updater::setPresenter(Presenter presenter)
{
    m_presenter = std::move(presenter);
}

void Updater::startAutomaticChecks()
{
    if (m_config.checksDisabled || m_timer->isActive())
        return;
    m_timer->start();
    runCheck(false);
}

void Updater::checkForUpdates()
{
    if (m_config.checksDisabled) {
        present(failed(tr("Updates for this copy come from your package manager.")));
        return;
    }
    runCheck(true);
}

QCoro::Task<void> Updater::runCheck(bool userInitiated)
{
    if (userInitiated)
        m_userWaiting = true;
    if (m_checking)
        co_return; // the running check answers the user too
    m_checking = true;
    UpdateCheckResult result = co_await whileAlive(this, check());
    m_checking = false;
    const bool answerUser = m_userWaiting;
    m_userWaiting = false;
    Q_EMIT checkFinished(result, answerUser);
    if (answerUser || result.kind == UpdateCheckResult::Kind::UpdateAvailable)
        present(result);
}

UpdateCheckResult Updater::failed(const QString &reason) const
{
    UpdateCheckResult result;
    result.kind = UpdateCheckResult::Kind::Failed;
    result.currentVersion = m_config.currentVersion;
    result.error = reason;
    return result;
}

QCoro::Task<QByteArray> Updater::fetch(const QUrl &url, QString *error)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(int(m_config.timeout.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    std::unique_ptr<QNetworkReply> reply(m_network->get(request));
    // Stop reading early rather than buffering an oversized answer.
    QNetworkReply *raw = reply.get();
    auto tooLarge = std::make_shared<bool>(false);
    connect(raw, &QNetworkReply::downloadProgress, raw, [raw, tooLarge](qint64 received, qint64) {
        if (received > Appcast::maximumSize) {
            *tooLarge = true;
            raw->abort();
        }
    });
    // The transfer timeout only notices silence; a server that sends a byte
    // now and then is stopped by a limit on the whole answer.
    QTimer::singleShot(m_config.timeout, raw, [raw] { raw->abort(); });
    co_await whileAlive<void>(this, reply.get());
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (*tooLarge) {
        *error = QStringLiteral("the update feed is too large");
        co_return {};
    }
    if (status != 0 && status != 200) {
        *error = QStringLiteral("the update server answered with status %1").arg(status);
        co_return {};
    }
    if (reply->error() != QNetworkReply::NoError) {
        *error = reply->error() == QNetworkReply::OperationCanceledError
                     ? QStringLiteral("the update server did not answer in time")
                     : reply->errorString();
        co_return {};
    }
    if (status != 200) {
        *error = QStringLiteral("the update server answered with status %1").arg(status);
        co_return {};
    }
    const QByteArray body = reply->readAll();
    if (body.size() > Appcast::maximumSize) {
        *error = QStringLiteral("the update feed is too large");
        co_return {};
    }
    co_return body;
}

QCoro::Task<UpdateCheckResult> Updater::check()
{
    try {
        if (m_config.checksDisabled)
            co_return failed(tr("Updates for this copy come from your package manager."));
        if (m_config.publicKey.isEmpty())
            co_return failed(tr("This build has no key to verify updates with."));
        if (!m_config.feedUrl.isValid() || !Appcast::isSafeAddress(m_config.feedUrl))
            co_return failed(tr("The update feed address is not a secure address."));
        const QVersionNumber current = Appcast::parseVersion(m_config.currentVersion);

        QString error;
        const QByteArray document = co_await whileAlive(this, fetch(m_config.feedUrl, &error));
        if (!error.isEmpty())
            co_return failed(
                //: %1 is the network's own description of the problem.
                tr("Could not read the update feed: %1.").arg(error));
        QUrl signatureUrl = m_config.feedUrl;
        signatureUrl.setPath(signatureUrl.path() + QStringLiteral(".sig"));
        const QByteArray signature = co_await whileAlive(this, fetch(signatureUrl, &error));
        if (!error.isEmpty())
            co_return failed(
                //: %1 is the network's own description of the problem.
                tr("Could not read the update feed's signature: %1.").arg(error));
        if (!FeedSignature::verify(document, signature, m_config.publicKey))
            co_return failed(tr("The update feed's signature is not valid; it was ignored."));

        const auto feed = Appcast::parse(document, &error);
        if (!feed)
            co_return failed(
                //: %1 says what is wrong with the feed's content.
                tr("The update feed could not be read: %1.").arg(error));

        UpdateCheckResult result;
        result.currentVersion = m_config.currentVersion;
        result.kind = UpdateCheckResult::Kind::UpToDate;
        if (const auto newest = feed->newest()) {
            result.newest = *newest;
            if (newest->version > current)
                result.kind = UpdateCheckResult::Kind::UpdateAvailable;
        }
        co_return result;
    } catch (const std::exception &e) {
        co_return failed(describe(e));
    }
}

void Updater::present(const UpdateCheckResult &result)
{
    if (m_presenter)
        m_presenter(result);
}
