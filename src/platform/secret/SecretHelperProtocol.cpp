#include "platform/secret/SecretHelperProtocol.h"

#include <QList>
#include <QStringDecoder>

#include <array>

namespace SecretHelperProtocol {
namespace {

constexpr std::array operationNames{"save", "load", "remove"};
constexpr std::array statusNames{"found", "missing", "done", "unavailable"};

QByteArray fields(std::initializer_list<QByteArrayView> parts)
{
    QByteArray out;
    for (QByteArrayView part : parts)
        out.append(QByteArray::number(part.size())).append(':').append(part).append(',');
    return out;
}

std::optional<QList<QString>> parseFields(QByteArrayView bytes)
{
    if (bytes.size() > maximumSize)
        return std::nullopt;
    QList<QString> out;
    while (!bytes.isEmpty()) {
        const qsizetype colon = bytes.indexOf(':');
        // A length is 1 to 7 digits, without a sign or leading zeros.
        if (colon < 1 || colon > 7 || (bytes[0] == '0' && colon > 1))
            return std::nullopt;
        qsizetype length = 0;
        for (char digit : bytes.first(colon)) {
            if (digit < '0' || digit > '9')
                return std::nullopt;
            length = length * 10 + (digit - '0');
        }
        bytes = bytes.sliced(colon + 1);
        if (length >= bytes.size() || bytes[length] != ',')
            return std::nullopt;
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(bytes.first(length));
        if (utf8.hasError())
            return std::nullopt;
        out.append(std::move(text));
        bytes = bytes.sliced(length + 1);
    }
    return out;
}

template <size_t N>
std::optional<size_t> indexOf(const std::array<const char *, N> &names, const QString &name)
{
    for (size_t i = 0; i < N; ++i)
        if (name == QLatin1String(names[i]))
            return i;
    return std::nullopt;
}

} // namespace

QByteArray encode(const Request &request)
{
    const QByteArray operation = operationNames[size_t(request.operation)];
    if (request.operation != Operation::Save)
        return fields({operation, request.service.toUtf8(), request.account.toUtf8()});
    return fields({operation, request.service.toUtf8(), request.account.toUtf8(), request.value.toUtf8(),
                   request.label.toUtf8()});
}

std::optional<Request> parseRequest(QByteArrayView bytes)
{
    const std::optional<QList<QString>> parts = parseFields(bytes);
    if (!parts || parts->isEmpty())
        return std::nullopt;
    const std::optional<size_t> operation = indexOf(operationNames, parts->first());
    if (!operation)
        return std::nullopt;
    Request request;
    request.operation = Operation(*operation);
    if (parts->size() != (request.operation == Operation::Save ? 5 : 3))
        return std::nullopt;
    request.service = parts->at(1);
    request.account = parts->at(2);
    if (request.operation == Operation::Save) {
        request.value = parts->at(3);
        request.label = parts->at(4);
    }
    return request;
}

QByteArray encode(const Answer &answer)
{
    return fields({statusNames[size_t(answer.status)], answer.text.toUtf8()});
}

std::optional<Answer> parseAnswer(QByteArrayView bytes)
{
    const std::optional<QList<QString>> parts = parseFields(bytes);
    if (!parts || parts->size() != 2)
        return std::nullopt;
    const std::optional<size_t> status = indexOf(statusNames, parts->first());
    if (!status)
        return std::nullopt;
    return Answer{Answer::Status(*status), parts->at(1)};
}

} // namespace SecretHelperProtocol
