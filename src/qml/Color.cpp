#include "qml/Color.h"

namespace Color {

QColor hex(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && !text.at(begin).isLetterOrNumber())
        ++begin;
    while (end > begin && !text.at(end - 1).isLetterOrNumber())
        --end;
    QStringView rest = text.mid(begin, end - begin);
    if (rest.size() >= 2 && rest.at(0) == QLatin1Char('0') &&
        (rest.at(1) == QLatin1Char('x') || rest.at(1) == QLatin1Char('X')))
        rest = rest.mid(2);

    // Like an unsigned 64-bit scan: a number too long for 64 bits saturates.
    quint64 value = 0;
    bool overflow = false;
    for (QChar c : rest) {
        const char16_t u = c.unicode();
        int nibble = -1;
        if (u >= '0' && u <= '9')
            nibble = u - '0';
        else if (u >= 'a' && u <= 'f')
            nibble = u - 'a' + 10;
        else if (u >= 'A' && u <= 'F')
            nibble = u - 'A' + 10;
        if (nibble < 0)
            break;
        if (value >> 60)
            overflow = true;
        value = (value << 4) | quint64(nibble);
    }
    if (overflow)
        value = ~quint64(0);
    const int red = int((value >> 16) & 0xFF);
    const int green = int((value >> 8) & 0xFF);
    const int blue = int(value & 0xFF);
    return QColor::fromRgb(red, green, blue);
}

} // namespace Color
