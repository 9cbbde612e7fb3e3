// An HTTP answer's body through the envelope and every record the client reads.

#include "FuzzEntry.h"

#include "backend/ConvexResponse.h"

#include <QByteArray>

namespace {

template <class T> void decodeAs(const QByteArray &body)
{
    try {
        const ConvexResponse<T> response = ConvexResponse<T>::fromBody(body);
        fuzzCheck(!response.status.isNull(), "a decoded envelope has a status");
    } catch (const DecodingError &error) {
        fuzzCheck(!error.description().isEmpty(), "a decoding error says what is wrong");
    }
}

} // namespace

void fuzzOne(const std::uint8_t *data, std::size_t size)
{
    const QByteArray body = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    decodeAs<Deck>(body);
    decodeAs<QList<Deck>>(body);
    decodeAs<QList<TranslationResult>>(body);
    decodeAs<AuthTokens>(body);
    decodeAs<AuthSignInResponse>(body);
    decodeAs<UserInfo>(body);
    decodeAs<QString>(body);
    decodeAs<EmptyResponse>(body);
}
