#pragma once

#include <QObject>
#include <QTimer>
#include <QUrl>

#include <QCoroTask>

#include <chrono>
#include <optional>

// One Google sign-in waiting in the user's browser for its callback URL
// (vocarta://auth/google#...), which reaches the program from outside. It ends
// with that URL, or as cancelled: after the time limit, or when a newer attempt
// replaces it.
class WebAuthSession : public QObject {
    Q_OBJECT

public:
    // `state` is the value sent with the authorization request, which the
    // answer must carry back.
    WebAuthSession(std::chrono::milliseconds timeLimit, QString state, QObject *parent = nullptr);

    // Whether `url` is this attempt's answer (CallbackUrl::answers).
    bool isAnswer(const QUrl &url) const;

    void complete(const QUrl &callbackUrl);
    void cancel();
    bool isFinished() const { return m_finished; }

    // The callback URL; throws PlatformError::cancelled() when cancelled.
    QCoro::Task<QUrl> callbackUrl();

Q_SIGNALS:
    void finished();

private:
    void finish(std::optional<QUrl> url);

    QTimer m_timeLimit;
    const QString m_state;
    std::optional<QUrl> m_url;
    bool m_finished = false;
};
