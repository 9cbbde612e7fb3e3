#include "update/FeedSignature.h"

#include <sodium.h>

namespace {

std::optional<QByteArray> decodeExact(const QByteArray &base64, qsizetype size)
{
    auto decoded = QByteArray::fromBase64Encoding(base64.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != size)
        return std::nullopt;
    return decoded.decoded;
}

} // namespace

bool FeedSignature::verify(const QByteArray &document, const QByteArray &signatureBase64,
                           const QByteArray &publicKeyBase64)
{
    if (sodium_init() < 0)
        return false;
    const auto key = decodeExact(publicKeyBase64, crypto_sign_PUBLICKEYBYTES);
    const auto signature = decodeExact(signatureBase64, crypto_sign_BYTES);
    if (!key || !signature)
        return false;
    return crypto_sign_verify_detached(reinterpret_cast<const unsigned char *>(signature->constData()),
                                       reinterpret_cast<const unsigned char *>(document.constData()),
                                       static_cast<unsigned long long>(document.size()),
                                       reinterpret_cast<const unsigned char *>(key->constData())) == 0;
}
