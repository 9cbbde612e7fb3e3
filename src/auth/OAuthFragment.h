#pragma once

#include <QHash>
#include <QString>

// The members of an OAuth implicit-flow callback fragment
// ("access_token=...&id_token=...&token_type=Bearer").
namespace OAuthFragment {

// Splits at "&" and at each piece's first "="; pieces with an empty name or an
// empty value are skipped, further "=" stay in the value. Values are
// percent-decoded (a "+" stays a "+"); a value that does not decode to UTF-8
// text is kept as it came. A later name replaces an earlier one. Names are
// compared as they came.
QHash<QString, QString> parse(const QString &encodedFragment);

// Strict percent-decoding: nothing when an escape is malformed or the bytes are
// not UTF-8.
std::optional<QString> percentDecoded(const QString &text);

} // namespace OAuthFragment
