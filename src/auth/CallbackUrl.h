#pragma once

#include <QString>
#include <QUrl>

// The sign-in callback: a vocarta:// link that reaches the program from
// outside (the browser, or any page that opens such a link).
namespace CallbackUrl {

// Whether `url` answers the sign-in attempt that sent `state`:
// vocarta://auth/google, carrying that state (in the fragment, where the
// implicit flow puts it, or else in the query). An empty `state` matches
// nothing.
bool answers(const QUrl &url, const QString &state);

} // namespace CallbackUrl
