#include "SyncConnection.h"

#include "DevClock.h"
#include "DevFunctions.h"
#include "DevLog.h"
#include "DevStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QWebSocket>
#include <QtEndian>

#include <climits>

namespace {
std::optional<qint64> integerMember(const QJsonObject &object, const QString &key)
{
    const QJsonValue v = object.value(key);
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (d < 0 || d > 9007199254740991.0 || d != static_cast<double>(static_cast<qint64>(d)))
        return std::nullopt;
    return static_cast<qint64>(d);
}

bool isNullOrString(const QJsonObject &object, const QString &key)
{
    const QJsonValue v = object.value(key);
    return v.isUndefined() || v.isNull() || v.isString();
}
} // namespace

SyncConnection::SyncConnection(QWebSocket *socket, int number, DevFunctions *functions, DevAuth *auth,
                               DevStore *store, DevClock *clock, const DevServerConfig &config,
                               QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_number(number)
    , m_functions(functions)
    , m_auth(auth)
    , m_store(store)
    , m_clock(clock)
    , m_config(config)
{
    // The protocol's messages are small; a huge one is a broken or hostile client.
    m_socket->setMaxAllowedIncomingMessageSize(1024 * 1024);
    m_socket->setMaxAllowedIncomingFrameSize(1024 * 1024);
    connect(m_socket, &QWebSocket::textMessageReceived, this, &SyncConnection::onText);
    connect(m_socket, &QWebSocket::binaryMessageReceived, this, [this](const QByteArray &) {
        fatal(QStringLiteral("Binary messages are not part of the protocol"));
    });
    connect(m_socket, &QWebSocket::disconnected, this, [this] {
        devLog(QStringLiteral("sync#%1 closed (%2)").arg(m_number).arg(int(m_socket->closeCode())));
        m_ping.stop();
        m_expiry.stop();
        Q_EMIT finished();
    });
    connect(m_store, &DevStore::userDataChanged, this, &SyncConnection::onUserDataChanged);
    connect(m_clock, &DevClock::moved, this, &SyncConnection::checkExpiry);

    m_ping.setSingleShot(true);
    m_ping.setInterval(m_config.pingInterval);
    connect(&m_ping, &QTimer::timeout, this, [this] { send(QJsonObject{{"type", "Ping"}}); });
    m_ping.start();

    m_expiry.setSingleShot(true);
    connect(&m_expiry, &QTimer::timeout, this, &SyncConnection::checkExpiry);

    devLog(QStringLiteral("sync#%1 opened").arg(m_number));
}

SyncConnection::~SyncConnection()
{
    m_socket->disconnect(this);
    delete m_socket;
}

void SyncConnection::onText(const QString &text)
{
    if (m_closing)
        return;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        fatal(QStringLiteral("Invalid message: not a JSON object"));
        return;
    }
    const QJsonObject message = doc.object();
    const QString type = message.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("Connect")) {
        handleConnect(message);
        return;
    }
    if (!m_connected) {
        fatal(QStringLiteral("Expected Connect as the first message, got \"%1\"").arg(type.left(40)));
        return;
    }
    if (type == QLatin1String("Authenticate"))
        handleAuthenticate(message);
    else if (type == QLatin1String("ModifyQuerySet"))
        handleModifyQuerySet(message);
    else if (type == QLatin1String("Event"))
        devLog(QStringLiteral("sync#%1 << Event (ignored)").arg(m_number));
    else if (type == QLatin1String("Mutation") || type == QLatin1String("Action"))
        fatal(QStringLiteral("%1 over the sync socket is not supported by the development server").arg(type));
    else
        fatal(QStringLiteral("Unknown client message type \"%1\"").arg(type.left(40)));
}

void SyncConnection::handleConnect(const QJsonObject &message)
{
    const auto count = integerMember(message, QStringLiteral("connectionCount"));
    if (m_connected) {
        fatal(QStringLiteral("Connect sent twice on one connection"));
        return;
    }
    if (!message.value(QStringLiteral("sessionId")).isString() || !count ||
        !isNullOrString(message, QStringLiteral("lastCloseReason")) ||
        !isNullOrString(message, QStringLiteral("maxObservedTimestamp")) ||
        !(message.value(QStringLiteral("clientTs")).isUndefined() ||
          message.value(QStringLiteral("clientTs")).isDouble())) {
        fatal(QStringLiteral("Malformed Connect message"));
        return;
    }
    m_connected = true;
    const QJsonValue reason = message.value(QStringLiteral("lastCloseReason"));
    devLog(QStringLiteral("sync#%1 << Connect (connectionCount=%2, lastCloseReason=%3)")
               .arg(m_number)
               .arg(*count)
               .arg(reason.isString() ? reason.toString().left(80) : QStringLiteral("null")));
}

void SyncConnection::handleAuthenticate(const QJsonObject &message)
{
    const auto base = integerMember(message, QStringLiteral("baseVersion"));
    const QString tokenType = message.value(QStringLiteral("tokenType")).toString();
    if (!base) {
        fatal(QStringLiteral("Malformed Authenticate message: baseVersion must be an integer"));
        return;
    }
    devLog(QStringLiteral("sync#%1 << Authenticate (tokenType=%2, baseVersion=%3)")
               .arg(m_number)
               .arg(tokenType.left(20))
               .arg(*base));
    if (*base != m_identityVersion) {
        fatal(QStringLiteral("Authenticate baseVersion %1 does not match the identity version %2")
                  .arg(*base)
                  .arg(m_identityVersion));
        return;
    }
    const QJsonObject start = stateVersion();
    if (tokenType == QLatin1String("None")) {
        m_identity.reset();
        m_expiry.stop();
    } else if (tokenType == QLatin1String("User")) {
        if (!message.value(QStringLiteral("value")).isString()) {
            fatal(QStringLiteral("Malformed Authenticate message: value must be a string"));
            return;
        }
        const auto result = m_auth->checkAccessToken(message.value(QStringLiteral("value")).toString());
        if (result.check == DevAuth::AccessCheck::Expired) {
            authError(QStringLiteral("Token expired"), true);
            return;
        }
        if (result.check != DevAuth::AccessCheck::Valid) {
            authError(QStringLiteral("Could not verify token"), true);
            return;
        }
        m_identity = result.identity;
        checkExpiry();
        if (m_closing)
            return;
    } else {
        authError(QStringLiteral("Token type \"%1\" is not accepted").arg(tokenType.left(20)), true);
        return;
    }
    ++m_identityVersion;
    pushTransition(start, {}, true);
}

void SyncConnection::handleModifyQuerySet(const QJsonObject &message)
{
    const auto base = integerMember(message, QStringLiteral("baseVersion"));
    const auto next = integerMember(message, QStringLiteral("newVersion"));
    const QJsonValue mods = message.value(QStringLiteral("modifications"));
    if (!base || !next || !mods.isArray()) {
        fatal(QStringLiteral("Malformed ModifyQuerySet message"));
        return;
    }
    devLog(QStringLiteral("sync#%1 << ModifyQuerySet v%2->v%3 (%4 modifications)")
               .arg(m_number)
               .arg(*base)
               .arg(*next)
               .arg(mods.toArray().size()));
    if (*base != m_querySetVersion) {
        fatal(QStringLiteral("ModifyQuerySet baseVersion %1 does not match the query set version %2")
                  .arg(*base)
                  .arg(m_querySetVersion));
        return;
    }
    if (*next <= *base) {
        fatal(
            QStringLiteral("ModifyQuerySet newVersion %1 is not above baseVersion %2").arg(*next).arg(*base));
        return;
    }
    const QJsonObject start = stateVersion();
    QJsonArray removed;
    for (const QJsonValue &entry : mods.toArray()) {
        const QJsonObject mod = entry.toObject();
        const QString type = mod.value(QStringLiteral("type")).toString();
        const auto queryId = integerMember(mod, QStringLiteral("queryId"));
        if (!entry.isObject() || !queryId) {
            fatal(QStringLiteral("Malformed query set modification"));
            return;
        }
        if (type == QLatin1String("Add")) {
            if (!mod.value(QStringLiteral("udfPath")).isString() ||
                !mod.value(QStringLiteral("args")).isArray() ||
                !isNullOrString(mod, QStringLiteral("journal"))) {
                fatal(QStringLiteral("Malformed Add for query %1").arg(*queryId));
                return;
            }
            if (m_queries.contains(*queryId)) {
                const QString why = QStringLiteral("Duplicate query id %1 in Add").arg(*queryId);
                devLog(QStringLiteral("sync#%1 !! %2").arg(m_number).arg(why));
                send(QJsonObject{{"type", "FatalError"}, {"error", why}}, why);
                closeWith(1011, why);
                return;
            }
            m_queries.insert(*queryId, Query{mod.value(QStringLiteral("udfPath")).toString(),
                                             mod.value(QStringLiteral("args")),
                                             false,
                                             true,
                                             {},
                                             {}});
        } else if (type == QLatin1String("Remove")) {
            if (!m_queries.remove(*queryId)) {
                const QString why = QStringLiteral("Remove of unknown query id %1").arg(*queryId);
                send(QJsonObject{{"type", "FatalError"}, {"error", why}}, why);
                closeWith(1011, why);
                return;
            }
            removed.append(QJsonObject{{"type", "QueryRemoved"}, {"queryId", double(*queryId)}});
        } else {
            fatal(QStringLiteral("Unknown query set modification \"%1\"").arg(type.left(40)));
            return;
        }
    }
    m_querySetVersion = *next;
    pushTransition(start, removed, true);
}

void SyncConnection::onUserDataChanged(const QString &userId)
{
    if (m_closing || !m_identity || m_identity->userId != userId)
        return;
    pushTransition(stateVersion(), {}, false);
}

void SyncConnection::checkExpiry()
{
    if (m_closing || !m_identity)
        return;
    const qint64 remaining = m_identity->expiresAt - m_clock->nowMs();
    if (remaining <= 0) {
        authError(QStringLiteral("Token expired"), false);
        return;
    }
    if (!m_clock->isManual())
        m_expiry.start(int(std::min<qint64>(remaining, INT_MAX)));
}

void SyncConnection::pushTransition(const QJsonObject &startVersion, QJsonArray modifications, bool always)
{
    for (auto it = m_queries.begin(); it != m_queries.end(); ++it) {
        Query &q = it.value();
        DevFunctions::Outcome outcome;
        const auto kind = m_functions->kindOf(q.udfPath);
        const QJsonArray args = q.args.toArray();
        if (!kind)
            outcome = {
                false, {}, QStringLiteral("Could not find public function for '%1'").arg(q.udfPath), {}};
        else if (*kind != DevFunctions::Kind::Query)
            outcome = {false, {}, QStringLiteral("%1 is not a query").arg(q.udfPath), {}};
        else if (args.size() != 1 || !args.first().isObject())
            outcome = {false, {}, QStringLiteral("Query arguments must be an array holding one object"), {}};
        else
            outcome = m_functions->call(q.udfPath, args.first().toObject(), m_identity);

        if (q.sent && outcome.ok == q.lastOk && outcome.value == q.lastValue &&
            outcome.errorMessage == q.lastError)
            continue;
        q.sent = true;
        q.lastOk = outcome.ok;
        q.lastValue = outcome.value;
        q.lastError = outcome.errorMessage;
        if (outcome.ok)
            modifications.append(QJsonObject{{"type", "QueryUpdated"},
                                             {"queryId", double(it.key())},
                                             {"value", outcome.value},
                                             {"logLines", QJsonArray()},
                                             {"journal", QJsonValue()}});
        else
            modifications.append(QJsonObject{{"type", "QueryFailed"},
                                             {"queryId", double(it.key())},
                                             {"errorMessage", outcome.errorMessage},
                                             {"logLines", QJsonArray()},
                                             {"journal", QJsonValue()}});
    }
    if (!always && modifications.isEmpty())
        return;
    const QJsonObject end = stateVersion();
    send(QJsonObject{{"type", "Transition"},
                     {"startVersion", startVersion},
                     {"endVersion", end},
                     {"modifications", modifications}},
         QStringLiteral("querySet %1->%2, identity %3->%4, %5 modification(s)")
             .arg(startVersion.value(QStringLiteral("querySet")).toInteger())
             .arg(end.value(QStringLiteral("querySet")).toInteger())
             .arg(startVersion.value(QStringLiteral("identity")).toInteger())
             .arg(end.value(QStringLiteral("identity")).toInteger())
             .arg(modifications.size()));
}

QJsonObject SyncConnection::stateVersion()
{
    // Timestamps travel as base64 of a little-endian 64-bit nanosecond count.
    m_ts = std::max<quint64>(m_ts + 1, quint64(m_clock->nowMs()) * 1000000ULL);
    QByteArray raw(8, Qt::Uninitialized);
    qToLittleEndian<quint64>(m_ts, raw.data());
    return QJsonObject{{"querySet", double(m_querySetVersion)},
                       {"identity", double(m_identityVersion)},
                       {"ts", QString::fromLatin1(raw.toBase64())}};
}

void SyncConnection::send(const QJsonObject &message, const QString &logDetail)
{
    const QString type = message.value(QStringLiteral("type")).toString();
    devLog(QStringLiteral("sync#%1 >> %2%3")
               .arg(m_number)
               .arg(type, logDetail.isEmpty() ? QString() : u" (" + logDetail + u')'));
    m_socket->sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    m_ping.start();
}

void SyncConnection::fatal(const QString &error)
{
    if (m_closing)
        return;
    send(QJsonObject{{"type", "FatalError"}, {"error", error}}, error);
    closeWith(1011, error);
}

void SyncConnection::authError(const QString &error, bool updateAttempted)
{
    if (m_closing)
        return;
    send(QJsonObject{{"type", "AuthError"},
                     {"error", error},
                     {"baseVersion", double(m_identityVersion)},
                     {"authUpdateAttempted", updateAttempted}},
         error);
    closeWith(1000, QStringLiteral("AuthError"));
}

void SyncConnection::closeWith(int code, const QString &reason)
{
    m_closing = true;
    m_ping.stop();
    m_expiry.stop();
    // A close reason is limited to 123 bytes.
    QString shortReason = reason;
    while (shortReason.toUtf8().size() > 123)
        shortReason.chop(1);
    m_socket->close(QWebSocketProtocol::CloseCode(code), shortReason);
}
