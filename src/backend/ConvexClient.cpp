#include "backend/ConvexClient.h"

#include "backend/ConfigurationError.h"
#include "backend/DeploymentUrl.h"
#include "backend/TransportError.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>

#include <QCoroNetworkReply>

#include <memory>

namespace {

struct DeleteLater {
    void operator()(QObject *object) const { object->deleteLater(); }
};

// Qt reports some HTTP statuses as reply errors too; those replies are still
// answers from the server. Everything else means the transfer itself failed.
bool isStatusDerivedError(QNetworkReply::NetworkError error)
{
    const int code = int(error);
    if (error == QNetworkReply::ContentReSendError)
        return false;
    return (code >= 201 && code <= 299) || (code >= 401 && code <= 499) ||
           error == QNetworkReply::ProtocolInvalidOperationError;
}

// A token goes into a header line as it is; one with line breaks or other
// control characters would let its bytes become headers of their own.
bool isHeaderSafe(const QString &token)
{
    for (QChar c : token)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    return true;
}

// Names and texts used inside coroutines. g++ 12 rejects some temporaries inside
// co_await expressions ("array used as initializer": braced lists, literal
// arrays), so coroutine bodies build their arguments from these and from locals.
const QString kNoRefreshToken = QStringLiteral("No refresh token");
const QString kNoTokensReturned = QStringLiteral("No tokens returned");
const QString kTokenRefreshFailed = QStringLiteral("Token refresh failed");
const QString kAction = QStringLiteral("action");
const QString kAiTranslateWord = QStringLiteral("ai:translateWord");
const QString kAuthSignIn = QStringLiteral("auth:signIn");
const QString kAuthSignOut = QStringLiteral("auth:signOut");
const QString kCalledBy = QStringLiteral("calledBy");
const QString kCardsCreateCard = QStringLiteral("cards:createCard");
const QString kCategory = QStringLiteral("category");
const QString kCode = QStringLiteral("code");
const QString kDeckId = QStringLiteral("deckId");
const QString kDecksGetActiveDeck = QStringLiteral("decks:getActiveDeck");
const QString kDecksSetActiveDeck = QStringLiteral("decks:setActiveDeck");
const QString kEmail = QStringLiteral("email");
const QString kExampleSentence = QStringLiteral("exampleSentence");
const QString kExampleSentenceTranslation = QStringLiteral("exampleSentenceTranslation");
const QString kFlow = QStringLiteral("flow");
const QString kLangFrom = QStringLiteral("langFrom");
const QString kLangTo = QStringLiteral("langTo");
const QString kMutation = QStringLiteral("mutation");
const QString kParams = QStringLiteral("params");
const QString kPassword = QStringLiteral("password");
const QString kPhonetic = QStringLiteral("phonetic");
const QString kProvider = QStringLiteral("provider");
const QString kQuery = QStringLiteral("query");
const QString kRefreshSession = QStringLiteral("refreshSession");
const QString kRefreshToken = QStringLiteral("refreshToken");
const QString kTranslation = QStringLiteral("translation");
const QString kUsersCheckEmailExists = QStringLiteral("users:checkEmailExists");
const QString kUsersGetCurrentUser = QStringLiteral("users:getCurrentUser");
const QString kUsersRedeemMacLinkCode = QStringLiteral("users:redeemMacLinkCode");
const QString kWord = QStringLiteral("word");

} // namespace

ConvexClient::ConvexClient(QUrl baseURL, QObject *parent)
    : QObject(parent)
    , m_baseURL(DeploymentUrl::withoutTrailingSlash(std::move(baseURL)))
    , m_network(new QNetworkAccessManager(this))
{
    m_network->setAutoDeleteReplies(false);
    m_network->setRedirectPolicy(QNetworkRequest::SameOriginRedirectPolicy);
}

ConvexClient::~ConvexClient()
{
    // Calls still waiting end now with a cancellation instead of never resuming
    // (a reply destroyed with its manager never reports that it finished).
    const QList<QNetworkReply *> running = m_network->findChildren<QNetworkReply *>();
    for (QNetworkReply *reply : running)
        if (reply->isRunning())
            reply->abort();
}

QUrl ConvexClient::deploymentUrl()
{
    return DeploymentUrl::configured();
}

std::optional<QString> ConvexClient::authToken() const
{
    std::lock_guard lock(m_tokenMutex);
    return m_tokens.authToken;
}

std::optional<QString> ConvexClient::refreshToken() const
{
    std::lock_guard lock(m_tokenMutex);
    return m_tokens.refreshToken;
}

ConvexClient::TokenPair ConvexClient::tokenPair() const
{
    std::lock_guard lock(m_tokenMutex);
    return m_tokens;
}

void ConvexClient::setTokens(std::optional<QString> authToken, std::optional<QString> refreshToken)
{
    std::lock_guard lock(m_tokenMutex);
    m_tokens = TokenPair{std::move(authToken), std::move(refreshToken)};
}

void ConvexClient::setRequestTimeout(std::chrono::milliseconds timeout)
{
    m_requestTimeout = timeout;
}

QCoro::Task<ConvexClient::HttpAnswer> ConvexClient::post(QString endpoint, QString path, QJsonObject args,
                                                         std::optional<QString> bearer)
{
    if (const auto problem = DeploymentUrl::problem(m_baseURL))
        throw ConfigurationError(*problem);

    QNetworkRequest request(QUrl(m_baseURL.toString() + QStringLiteral("/api/") + endpoint));
    request.setTransferTimeout(int(m_requestTimeout.count()));
    // The request carries the bearer token (and a refresh token in its body):
    // a redirect to any other scheme, host or port is not followed.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    if (bearer && !isHeaderSafe(*bearer))
        throw ConvexError::authFailed(QStringLiteral("Malformed access token"));
    if (bearer)
        request.setRawHeader(QByteArrayLiteral("Authorization"),
                             QByteArrayLiteral("Bearer ") + bearer->toUtf8());

    const QJsonObject body{{QStringLiteral("path"), path},
                           {QStringLiteral("args"), args},
                           {QStringLiteral("format"), QStringLiteral("json")}};
    std::unique_ptr<QNetworkReply, DeleteLater> reply(
        m_network->post(request, QJsonDocument(body).toJson(QJsonDocument::Compact)));
    // No answer of ours comes near this; a server that sends more is not allowed
    // to make us hold it all in memory.
    bool tooLarge = false;
    QNetworkReply *watched = reply.get();
    connect(watched, &QNetworkReply::downloadProgress, watched,
            [watched, &tooLarge](qint64 received, qint64 total) {
                if (received > maxAnswerBytes || total > maxAnswerBytes) {
                    tooLarge = true;
                    watched->abort();
                }
            });
    co_await reply.get();

    if (tooLarge)
        throw TransportError(QNetworkReply::OperationCanceledError,
                             QStringLiteral("The server's answer is larger than ") +
                                 QString::number(maxAnswerBytes / (1024 * 1024)) + QStringLiteral(" MiB"));
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    if (error != QNetworkReply::NoError && (!status.isValid() || !isStatusDerivedError(error)))
        throw TransportError(error, reply->errorString());
    if (!status.isValid())
        throw ConvexError::networkError(QStringLiteral("Not an HTTP response"));
    co_return HttpAnswer{status.toInt(), reply->readAll()};
}

QCoro::Task<QByteArray> ConvexClient::exchange(QString endpoint, QString path, QJsonObject args,
                                               bool authenticated)
{
    // Not written as a ?: inside the co_await: g++ 12 destroys such a temporary twice.
    std::optional<QString> bearer;
    if (authenticated)
        bearer = authToken();
    HttpAnswer answer = co_await post(endpoint, path, args, bearer);
    if (answer.status == 401 && authenticated && refreshToken()) {
        co_await refreshSession();
        // One refresh per call: if the repeated call meets 401 again, that 401 is
        // the outcome. A server that keeps refusing fresh tokens would otherwise
        // make us loop.
        // A named local, not a temporary: g++ 12 destroys temporaries inside a
        // co_await expression twice.
        const std::optional<QString> freshToken = authToken();
        answer = co_await post(endpoint, path, args, freshToken);
    }
    if (answer.status != 200)
        throw ConvexError::serverError(answer.status, bodyText(answer.body));
    co_return answer.body;
}

QString ConvexClient::bodyText(const QByteArray &body)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(body);
    if (decoder.hasError())
        return QStringLiteral("Unknown error");
    return text;
}

QCoro::Task<AuthTokens> ConvexClient::signIn(QString email, QString password, QString flow)
{
    // No "verifier" member: the server's validator refuses an explicit null.
    const QJsonObject args{{kProvider, kPassword},
                           {kParams, QJsonObject{{kEmail, email}, {kPassword, password}, {kFlow, flow}}}};
    const AuthSignInResponse response = co_await call<AuthSignInResponse>(kAction, kAuthSignIn, args, false);
    if (!response.tokens)
        throw ConvexError::authFailed(kNoTokensReturned);
    setTokens(response.tokens->token, response.tokens->refreshToken);
    co_return *response.tokens;
}

QCoro::Task<AuthTokens> ConvexClient::refreshSession()
{
    const std::optional<QString> sentRefreshToken = refreshToken();
    if (!sentRefreshToken)
        throw ConvexError::authFailed(kNoRefreshToken);
    const QJsonObject args{{kRefreshToken, *sentRefreshToken}, {kCalledBy, kRefreshSession}};
    QByteArray body;
    try {
        body = co_await exchange(kAction, kAuthSignIn, args, false);
    } catch (const ConvexError &error) {
        if (error.kind() == ConvexError::Kind::ServerError && statusRejectsSession(error.code()))
            rejectSession(*sentRefreshToken);
        throw;
    }
    // An answer that is not an envelope (a captive portal's page, say) or has
    // a status of another kind says nothing about the session; an "error"
    // envelope or a success without tokens is the server's refusal.
    const ConvexResponse<AuthSignInResponse> envelope = ConvexResponse<AuthSignInResponse>::fromBody(body);
    const bool issued =
        envelope.status == QLatin1String("success") && envelope.value && envelope.value->tokens;
    if (!issued && (envelope.status == QLatin1String("success") || envelope.status == QLatin1String("error")))
        rejectSession(*sentRefreshToken);
    // The failures the callers see are those of every call.
    const AuthSignInResponse response = readEnvelope<AuthSignInResponse>(body);
    if (!response.tokens)
        throw ConvexError::authFailed(kTokenRefreshFailed);

    // Store the new pair only if the pair we refreshed is still the current one. A
    // sign-out (or a sign-in, or another refresh) while this refresh was under way
    // must not be undone by a late answer: that would sign a signed-out user back
    // in, or mix two accounts.
    bool stored = false;
    {
        std::lock_guard lock(m_tokenMutex);
        if (m_tokens.refreshToken == sentRefreshToken) {
            m_tokens = TokenPair{response.tokens->token, response.tokens->refreshToken};
            stored = true;
        }
    }
    if (stored)
        Q_EMIT tokensRefreshed(response.tokens->token, response.tokens->refreshToken);
    co_return *response.tokens;
}

bool ConvexClient::statusRejectsSession(int status)
{
    return status >= 400 && status <= 499 && status != 408 && status != 429;
}

void ConvexClient::rejectSession(const QString &refreshToken)
{
    bool current = false;
    {
        std::lock_guard lock(m_tokenMutex);
        current = m_tokens.refreshToken == refreshToken;
    }
    // A pair already replaced (signed out, signed in again, refreshed by
    // another call) is not the session any more.
    if (current)
        Q_EMIT sessionRejected();
}

void ConvexClient::signOut()
{
    std::optional<QString> heldToken;
    {
        std::lock_guard lock(m_tokenMutex);
        heldToken = m_tokens.authToken;
        m_tokens = TokenPair{};
    }
    if (heldToken)
        signOutInBackground(*heldToken);
}

QCoro::Task<void> ConvexClient::signOutInBackground(QString heldToken)
{
    // Nobody waits for this: the answer and any failure are dropped.
    try {
        co_await post(kAction, kAuthSignOut, QJsonObject{}, heldToken);
    } catch (...) {
    }
}

QCoro::Task<Deck> ConvexClient::getActiveDeck()
{
    co_return co_await call<Deck>(kQuery, kDecksGetActiveDeck, QJsonObject(), true);
}

QCoro::Task<void> ConvexClient::setActiveDeck(QString deckId)
{
    const QJsonObject args{{kDeckId, deckId}};
    co_await call<EmptyResponse>(kMutation, kDecksSetActiveDeck, args, true);
}

QCoro::Task<QList<TranslationResult>> ConvexClient::translateWord(QString word, QString langFrom,
                                                                  QString langTo)
{
    const QJsonObject args{{kWord, word}, {kLangFrom, langFrom}, {kLangTo, langTo}};
    co_return co_await call<QList<TranslationResult>>(kAction, kAiTranslateWord, args, true);
}

QCoro::Task<AuthTokens> ConvexClient::redeemMacLinkCode(QString code)
{
    const QJsonObject args{{kCode, code}};
    co_return co_await call<AuthTokens>(kAction, kUsersRedeemMacLinkCode, args, false);
}

QCoro::Task<UserInfo> ConvexClient::getCurrentUser()
{
    co_return co_await call<UserInfo>(kQuery, kUsersGetCurrentUser, QJsonObject(), true);
}

QCoro::Task<void> ConvexClient::createCard(QString deckId, QString word, QString translation,
                                           QString phonetic, QString exampleSentence,
                                           QString exampleSentenceTranslation, QString category)
{
    const QJsonObject args{{kDeckId, deckId},
                           {kWord, word},
                           {kTranslation, translation},
                           {kPhonetic, phonetic},
                           {kExampleSentence, exampleSentence},
                           {kExampleSentenceTranslation, exampleSentenceTranslation},
                           {kCategory, category}};
    co_await call<EmptyResponse>(kMutation, kCardsCreateCard, args, true);
}

QCoro::Task<QString> ConvexClient::checkEmailExists(QString email)
{
    const QJsonObject args{{kEmail, email}};
    co_return co_await call<QString>(kQuery, kUsersCheckEmailExists, args, true);
}
