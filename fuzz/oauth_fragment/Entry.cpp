// A sign-in callback's fragment through the fragment parser and the strict
// percent-decoder.

#include "FuzzEntry.h"

#include "auth/OAuthFragment.h"

#include <QByteArray>

void fuzzOne(const std::uint8_t *data, std::size_t size)
{
    const QString fragment =
        QString::fromUtf8(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QHash<QString, QString> members = OAuthFragment::parse(fragment);
    for (auto it = members.cbegin(); it != members.cend(); ++it) {
        fuzzCheck(!it.key().isEmpty(), "no member has an empty name");
        fuzzCheck(!it.value().isEmpty(), "no member has an empty value");
        fuzzCheck(!it.key().contains(QLatin1Char('&')), "names never span a separator");
    }
    if (const std::optional<QString> decoded = OAuthFragment::percentDecoded(fragment))
        fuzzCheck(decoded->size() <= fragment.size(), "decoding never lengthens the text");
}
