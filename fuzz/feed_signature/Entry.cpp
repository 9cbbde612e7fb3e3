// The update feed's signature file (one base64 line) through the signature
// check, against a fixed feed and key; and any bytes as the feed or the key.

#include "FuzzEntry.h"

#include "update/FeedSignature.h"

#include <QByteArray>

namespace {

const QByteArray document("<rss version=\"2.0\"><channel></channel></rss>\n");
const QByteArray key("5AMJmM/VrRcjwWn5VqoLnrhhm1mSvWEsKvQo68efjfA=");
const QByteArray
    signature("UsniJ8g5PgH8h2IyVMZcOssj+cF06WhqbBpmB8Jj706bW42k26f3voRR4El/1bJOAUoSjKZllrQEIHT3g48LDg==");

} // namespace

void fuzzOne(const std::uint8_t *data, std::size_t size)
{
    static const bool genuineVerifies = FeedSignature::verify(document, signature, key);
    fuzzCheck(genuineVerifies, "the genuine signature verifies");

    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    if (FeedSignature::verify(document, input, key))
        fuzzCheck(QByteArray::fromBase64(input.trimmed()) == QByteArray::fromBase64(signature),
                  "only the genuine signature verifies");
    if (FeedSignature::verify(input, signature, key))
        fuzzCheck(input == document, "the signature covers exactly the feed");
    FeedSignature::verify(document, signature, input);
}
