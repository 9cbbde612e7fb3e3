#include "platform/secret/HelperSecretStore.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QProcess>

#include <QCoroSignal>

using SecretHelperProtocol::Operation;
using SecretHelperProtocol::Request;

HelperSecretStore::HelperSecretStore()
    : HelperSecretStore(QCoreApplication::applicationDirPath() + QStringLiteral("/vocarta-secret-helper"))
{
}

HelperSecretStore::HelperSecretStore(QString helper)
    : m_helper(std::move(helper))
{
}

void HelperSecretStore::reportUnavailable(const QString &reason)
{
    if (m_reported)
        return;
    m_reported = true;
    logLine(LogChannel::Warning,
            QStringLiteral("[Vocarta] The secret store is not usable (%1); sign-in will not be kept across "
                           "restarts.")
                .arg(reason));
}

QCoro::Task<HelperSecretStore::Answer> HelperSecretStore::ask(Request request)
{
    Answer answer = co_await runHelper(std::move(request));
    if (answer.status == Answer::Status::Unavailable)
        reportUnavailable(answer.text);
    co_return answer;
}

QCoro::Task<HelperSecretStore::Answer> HelperSecretStore::runHelper(Request request)
{
    QProcess helper;
    // The helper's own complaints (a crash, a malformed request) go where ours go.
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    helper.start(m_helper, {});
    helper.write(SecretHelperProtocol::encode(request));
    helper.closeWriteChannel();
    // Until it has ended or failed to start. No time limit: the store may be
    // waiting for the person to unlock it.
    while (helper.state() != QProcess::NotRunning)
        co_await qCoro(&helper, &QProcess::stateChanged);
    if (helper.error() == QProcess::FailedToStart)
        co_return Answer{Answer::Status::Unavailable,
                         QStringLiteral("%1 did not start: %2").arg(m_helper, helper.errorString())};
    const QByteArray output = helper.readAll();
    if (helper.exitStatus() == QProcess::CrashExit)
        co_return Answer{Answer::Status::Unavailable, QStringLiteral("%1 crashed").arg(m_helper)};
    if (helper.exitCode() != 0)
        co_return Answer{Answer::Status::Unavailable,
                         QStringLiteral("%1 ended with status %2").arg(m_helper).arg(helper.exitCode())};
    std::optional<Answer> answer = SecretHelperProtocol::parseAnswer(output);
    if (!answer)
        co_return Answer{Answer::Status::Unavailable, QStringLiteral("%1 gave no answer").arg(m_helper)};
    co_return *answer;
}

QCoro::Task<void> HelperSecretStore::save(QString service, QString account, QString value, QString label)
{
    // Each request is a named local: a temporary made inside a co_await
    // expression is destroyed twice by g++ 12.
    Request request{Operation::Save, service, account, value, label};
    co_await ask(std::move(request));
}

QCoro::Task<std::optional<QString>> HelperSecretStore::load(QString service, QString account)
{
    Request request{Operation::Load, service, account, {}, {}};
    const Answer answer = co_await ask(std::move(request));
    if (answer.status != Answer::Status::Found)
        co_return std::nullopt;
    co_return answer.text;
}

QCoro::Task<void> HelperSecretStore::remove(QString service, QString account)
{
    Request request{Operation::Remove, service, account, {}, {}};
    co_await ask(std::move(request));
}
