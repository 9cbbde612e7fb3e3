// A sync server message (text or binary frame) through the parser, and each
// query result it carries through the records the deck subscriptions read.

#include "FuzzEntry.h"

#include "backend/Records.h"
#include "sync/SyncFrames.h"

#include <QByteArray>

namespace {

template <class T> void decodeAs(const QJsonValue &value)
{
    try {
        (void)decodeRecord<T>(value);
    } catch (const DecodingError &error) {
        fuzzCheck(!error.description().isEmpty(), "a decoding error says what is wrong");
    }
}

void parseText(const QString &text)
{
    const std::optional<SyncFrames::ServerMessage> message = SyncFrames::parse(text);
    if (!message)
        return;
    using Type = SyncFrames::ServerMessage::Type;
    if (message->type != Type::AuthError && message->type != Type::FatalError)
        fuzzCheck(message->error.isEmpty(), "only error messages carry an error text");
    if (message->type != Type::Transition)
        fuzzCheck(message->updates.isEmpty(), "only a transition carries updates");
    for (const SyncFrames::QueryUpdate &update : message->updates) {
        if (!update.value)
            continue;
        decodeAs<QList<Deck>>(*update.value);
        decodeAs<Deck>(*update.value);
    }
}

} // namespace

void fuzzOne(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // A text frame arrives already decoded (lossily, by the socket); a binary
    // frame only counts when it is valid UTF-8.
    parseText(QString::fromUtf8(bytes));
    if (const std::optional<QString> decoded = SyncFrames::decodeUtf8(bytes)) {
        fuzzCheck(decoded->toUtf8() == bytes, "strict UTF-8 decoding keeps every byte");
        parseText(*decoded);
    }
}
