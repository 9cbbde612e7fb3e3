#include "IndexLine.h"

namespace {
// Eight digits are 48 bits, far beyond any dictionary file; longer numbers are corrupt.
constexpr qsizetype maxDigits = 8;

std::optional<quint64> decodeNumber(QByteArrayView digits)
{
    if (digits.isEmpty() || digits.size() > maxDigits)
        return std::nullopt;
    quint64 value = 0;
    for (char c : digits) {
        int d;
        if (c >= 'A' && c <= 'Z')
            d = c - 'A';
        else if (c >= 'a' && c <= 'z')
            d = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            d = c - '0' + 52;
        else if (c == '+')
            d = 62;
        else if (c == '/')
            d = 63;
        else
            return std::nullopt;
        value = value * 64 + quint64(d);
    }
    return value;
}
} // namespace

std::optional<IndexLine> IndexLine::parse(QByteArrayView line)
{
    const qsizetype first = line.indexOf('\t');
    if (first <= 0)
        return std::nullopt;
    const qsizetype second = line.sliced(first + 1).indexOf('\t');
    if (second < 0)
        return std::nullopt;
    const QByteArrayView offsetText = line.sliced(first + 1, second);
    const QByteArrayView lengthText = line.sliced(first + 2 + second);
    const auto offset = decodeNumber(offsetText);
    const auto length = decodeNumber(lengthText);
    if (!offset || !length)
        return std::nullopt;
    return IndexLine{line.first(first), *offset, *length};
}
