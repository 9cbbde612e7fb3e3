// A line a later start sends over the fallback socket, through the strict
// decoder; what it accepts must survive encoding and decoding unchanged.

#include "FuzzEntry.h"

#include "platform/dbus/SingleInstanceMessage.h"

#include <QByteArray>

void fuzzOne(const std::uint8_t *data, std::size_t size)
{
    const QByteArray line = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<SingleInstanceMessage> message = SingleInstanceMessage::decode(line);
    if (!message)
        return;
    fuzzCheck(line.size() <= SingleInstanceMessage::maximumSize, "nothing over the size limit is accepted");
    const QByteArray encoded = message->encode();
    fuzzCheck(encoded.endsWith('\n') && encoded.count('\n') == 1, "an encoded message is one line");
    const std::optional<SingleInstanceMessage> again = SingleInstanceMessage::decode(encoded.chopped(1));
    fuzzCheck(again.has_value() && *again == *message, "encoding and decoding keep the message");
}
