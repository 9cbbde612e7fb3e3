#pragma once

#include "backend/ConvexError.h"
#include "backend/ConvexResponse.h"
#include "backend/Records.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QUrl>

#include <QCoroTask>

#include <chrono>
#include <mutex>
#include <optional>

class QNetworkAccessManager;

// The one client for calling the deployment's server functions over HTTP(S).
// Every operation goes through call(): POST to <baseURL>/api/<kind> with a JSON
// body, the access token as a bearer token for authenticated calls, and one
// token refresh followed by one repeat when an authenticated call meets 401.
// A redirect is followed only within the deployment's own origin: the body and
// the bearer token never go anywhere else.
//
// Failures are thrown from the coroutines: ConvexError (the client's own),
// TransportError (no HTTP answer), DecodingError (an answer of the wrong shape),
// ConfigurationError (an address that must not be used; nothing is sent).
//
// Lives on the main thread; the token pair is still guarded so that a reader
// never sees one token of an old pair with one of a new pair.
class ConvexClient : public QObject {
    Q_OBJECT

public:
    struct TokenPair {
        std::optional<QString> authToken;
        std::optional<QString> refreshToken;
    };

    explicit ConvexClient(QUrl baseURL, QObject *parent = nullptr);
    ~ConvexClient() override;

    QUrl baseURL() const { return m_baseURL; }

    // The build's deployment address, or VOCARTA_DEPLOYMENT_URL. Calls to an address
    // that DeploymentUrl::problem() refuses fail with ConfigurationError before sending.
    static QUrl deploymentUrl();

    std::optional<QString> authToken() const;
    std::optional<QString> refreshToken() const;
    TokenPair tokenPair() const;
    // Both fields change in one step.
    void setTokens(std::optional<QString> authToken, std::optional<QString> refreshToken);

    // Larger answers are cut off and fail as a TransportError.
    static constexpr qint64 maxAnswerBytes = 16 * 1024 * 1024;

    void setRequestTimeout(std::chrono::milliseconds timeout);
    std::chrono::milliseconds requestTimeout() const { return m_requestTimeout; }

    // Operations. Arguments are taken by value: they must outlive the caller's frame.
    QCoro::Task<AuthTokens> signIn(QString email, QString password, QString flow);
    // Fails like any call; when the server definitely refuses the current pair,
    // sessionRejected() is emitted first.
    QCoro::Task<AuthTokens> refreshSession();
    // Clears both tokens at once; tells the server in the background and never fails.
    void signOut();
    QCoro::Task<Deck> getActiveDeck();
    QCoro::Task<void> setActiveDeck(QString deckId);
    QCoro::Task<QList<TranslationResult>> translateWord(QString word, QString langFrom, QString langTo);
    QCoro::Task<AuthTokens> redeemMacLinkCode(QString code);
    QCoro::Task<UserInfo> getCurrentUser();
    QCoro::Task<void> createCard(QString deckId, QString word, QString translation, QString phonetic,
                                 QString exampleSentence, QString exampleSentenceTranslation,
                                 QString category);
    QCoro::Task<QString> checkEmailExists(QString email);

    template <class T> QCoro::Task<T> callActionUnauthenticatedPublic(QString path, QJsonObject args)
    {
        co_return co_await call<T>(QStringLiteral("action"), std::move(path), std::move(args), false);
    }

    // Whether an answer with this HTTP status to a refresh means the server
    // refuses the session for good: a 4xx other than 408 and 429. A 5xx, 408,
    // 429 or a redirect says nothing about the session.
    static bool statusRejectsSession(int status);

Q_SIGNALS:
    // A refresh stored a new pair (refresh tokens rotate, so whoever keeps the
    // durable copy must save this one).
    void tokensRefreshed(const QString &authToken, const QString &refreshToken);
    // The server refused to refresh the pair the client still holds (an error
    // answer, no tokens, or a status that statusRejectsSession()): the session
    // is over. Whoever ends it clears the pair, so refusals of the same pair met
    // by other callers' refreshes afterwards report nothing.
    void sessionRejected();

private:
    struct HttpAnswer {
        int status = 0;
        QByteArray body;
    };

    template <class T>
    QCoro::Task<T> call(QString endpoint, QString path, QJsonObject args, bool authenticated)
    {
        const QByteArray body =
            co_await exchange(std::move(endpoint), std::move(path), std::move(args), authenticated);
        co_return readEnvelope<T>(body);
    }

    // Sends the call (refreshing and repeating once on 401) and returns the body of
    // a 200 answer; every other status is thrown as a ConvexError.
    QCoro::Task<QByteArray> exchange(QString endpoint, QString path, QJsonObject args, bool authenticated);
    // One POST; `bearer` is the token to send, if any.
    QCoro::Task<HttpAnswer> post(QString endpoint, QString path, QJsonObject args,
                                 std::optional<QString> bearer);
    QCoro::Task<void> signOutInBackground(QString heldToken);
    // Emits sessionRejected() if `refreshToken` is still the one held.
    void rejectSession(const QString &refreshToken);

    template <class T> static T readEnvelope(const QByteArray &body)
    {
        ConvexResponse<T> response = ConvexResponse<T>::fromBody(body);
        if (response.status == QLatin1String("success")) {
            if (response.value)
                return std::move(*response.value);
            if constexpr (RecordDecoder<T>::acceptsAbsence)
                return T{};
            else
                throw ConvexError::serverError(200, QStringLiteral("Null response"));
        }
        if (response.status == QLatin1String("error"))
            throw ConvexError::serverError(200,
                                           response.errorMessage.value_or(QStringLiteral("Unknown error")));
        throw ConvexError::serverError(200, QStringLiteral("Unknown status: ") + response.status);
    }

    static QString bodyText(const QByteArray &body);

    const QUrl m_baseURL;
    QNetworkAccessManager *m_network;
    std::chrono::milliseconds m_requestTimeout{std::chrono::seconds(60)};

    mutable std::mutex m_tokenMutex;
    TokenPair m_tokens;
};
