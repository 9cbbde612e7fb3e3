#include "auth/OAuthFragment.h"

#include <QByteArray>
#include <QStringDecoder>

#include <optional>

namespace OAuthFragment {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<QString> percentDecoded(const QString &text)
{
    const QByteArray in = text.toUtf8();
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            out.append(in[i]);
            continue;
        }
        if (i + 2 >= in.size())
            return std::nullopt;
        const int high = hexValue(in[i + 1]);
        const int low = hexValue(in[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out.append(char(high * 16 + low));
        i += 2;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder.decode(out);
    if (decoder.hasError())
        return std::nullopt;
    return decoded;
}

QHash<QString, QString> parse(const QString &encodedFragment)
{
    QHash<QString, QString> members;
    const QStringList pieces = encodedFragment.split(u'&', Qt::SkipEmptyParts);
    for (const QString &piece : pieces) {
        const qsizetype equals = piece.indexOf(u'=');
        if (equals <= 0 || equals == piece.size() - 1)
            continue;
        const QString name = piece.left(equals);
        const QString rawValue = piece.mid(equals + 1);
        members.insert(name, percentDecoded(rawValue).value_or(rawValue));
    }
    return members;
}

} // namespace OAuthFragment
