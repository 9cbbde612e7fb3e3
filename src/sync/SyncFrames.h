#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

// The sync protocol's wire format: the frames this client sends and the parts
// of the server's messages it reads. Pure functions, so every rule about the
// wire lives in one place and the parser can be fed arbitrary bytes.
namespace SyncFrames {

struct QueryAdd {
    int queryId;
    QString udfPath;
    QJsonObject args;
};

QJsonObject connect(const QString &sessionId, int connectionCount,
                    const std::optional<QString> &lastCloseReason, qint64 clientTs);
QJsonObject authenticate(const QString &token, int baseVersion);
QJsonObject modifyQuerySet(int baseVersion, int newVersion, const QList<QueryAdd> &adds);

// One compact JSON text, as sent in a text frame.
QString serialize(const QJsonObject &message);

// A server message reduced to what the client reads.
struct QueryUpdate {
    int queryId;
    std::optional<QJsonValue> value; // absent when the member is missing
};

struct ServerMessage {
    enum class Type { Transition, Ping, AuthError, FatalError, Other };
    Type type = Type::Other;
    QList<QueryUpdate> updates; // Transition: the usable "QueryUpdated" entries, in order
    QString error;              // AuthError/FatalError: the "error" text, or "unknown"
};

// Absent when the text is not a JSON object with a string "type".
std::optional<ServerMessage> parse(const QString &text);

// The text of a binary frame, absent unless its bytes are valid UTF-8.
std::optional<QString> decodeUtf8(const QByteArray &bytes);

} // namespace SyncFrames
