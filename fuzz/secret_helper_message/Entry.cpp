// What the program and its secret-store helper send each other, through the
// strict readers: a request or an answer they accept is written back byte for
// byte the same (one way to write each), and nothing over the size limit passes.

#include "FuzzEntry.h"

#include "platform/secret/SecretHelperProtocol.h"

#include <QByteArray>

void fuzzOne(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const auto request = SecretHelperProtocol::parseRequest(bytes)) {
        fuzzCheck(bytes.size() <= SecretHelperProtocol::maximumSize,
                  "nothing over the size limit is accepted");
        fuzzCheck(SecretHelperProtocol::encode(*request) == bytes, "a request is written back unchanged");
    }
    if (const auto answer = SecretHelperProtocol::parseAnswer(bytes)) {
        fuzzCheck(bytes.size() <= SecretHelperProtocol::maximumSize,
                  "nothing over the size limit is accepted");
        fuzzCheck(SecretHelperProtocol::encode(*answer) == bytes, "an answer is written back unchanged");
    }
}
