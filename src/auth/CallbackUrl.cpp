#include "auth/CallbackUrl.h"

#include "auth/OAuthFragment.h"

#include <QUrlQuery>

#include <optional>

namespace CallbackUrl {

bool answers(const QUrl &url, const QString &state)
{
    static const QUrl address(QStringLiteral("vocarta://auth/google"));
    if (!url.isValid() || url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment) != address)
        return false;
    std::optional<QString> carried;
    if (url.hasFragment()) {
        const QHash<QString, QString> members = OAuthFragment::parse(url.fragment(QUrl::FullyEncoded));
        const auto found = members.constFind(QStringLiteral("state"));
        if (found != members.constEnd())
            carried = *found;
    }
    if (!carried && url.hasQuery()) {
        const QUrlQuery query(url);
        if (query.hasQueryItem(QStringLiteral("state")))
            carried = query.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded);
    }
    return carried && !state.isEmpty() && *carried == state;
}

} // namespace CallbackUrl
