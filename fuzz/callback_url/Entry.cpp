// A vocarta:// link handed to the program (forwarded by a second start) through
// the path it takes: the command-line parser, the check that it answers the
// waiting sign-in, and the fragment that sign-in then reads.

#include "FuzzEntry.h"

#include "app/CommandLine.h"
#include "auth/CallbackUrl.h"
#include "auth/OAuthFragment.h"

#include <QByteArray>

namespace {

const QString state = QStringLiteral("Zq-3_x");

} // namespace

void fuzzOne(const std::uint8_t *data, std::size_t size)
{
    const QString argument =
        QString::fromUtf8(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    const CommandLine line = CommandLine::parse({argument});
    // Links that reach the session any other way are read the same.
    const QUrl url = line.request == CommandLine::Request::OpenUrl ? line.url : QUrl(argument);

    fuzzCheck(!CallbackUrl::answers(url, QString()), "an empty state answers nothing");
    if (!CallbackUrl::answers(url, state))
        return;
    fuzzCheck(url.scheme() == u"vocarta" && url.host() == u"auth" && url.path() == u"/google" &&
                  url.port() == -1 && url.userInfo().isEmpty(),
              "only the sign-in address answers");
    const QHash<QString, QString> members = OAuthFragment::parse(url.fragment(QUrl::FullyEncoded));
    const auto carried = members.constFind(QStringLiteral("state"));
    fuzzCheck(carried == members.constEnd() || *carried == state, "a state in the fragment is the one sent");
    fuzzCheck(carried != members.constEnd() || url.hasQuery(), "the state came with the link");
}
