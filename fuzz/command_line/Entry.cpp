// A start's arguments (separated by NUL bytes, as in argv) through the
// command-line parser, which also reads what a second start forwards.

#include "FuzzEntry.h"

#include "app/CommandLine.h"

#include <QByteArray>

void fuzzOne(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringList arguments;
    if (!bytes.isEmpty())
        for (const QByteArray &argument : bytes.split('\0'))
            arguments.append(QString::fromUtf8(argument));

    using Outcome = CommandLine::Outcome;
    using Request = CommandLine::Request;
    const CommandLine line = CommandLine::parse(arguments);
    fuzzCheck(line.arguments == arguments, "the arguments are kept as given, for forwarding");
    fuzzCheck((line.outcome == Outcome::UsageError) == !line.error.isEmpty(),
              "only a usage error has a text");
    fuzzCheck(line.outcome != Outcome::Run || arguments.size() <= 1, "a run takes at most one argument");
    fuzzCheck((line.request == Request::Activate) == (line.outcome != Outcome::Run || arguments.isEmpty()),
              "a request comes from an argument that was read");
    fuzzCheck((line.request == Request::OpenUrl) == !line.url.isEmpty(), "only an address request has one");
    if (line.request == Request::OpenUrl)
        fuzzCheck(line.url.isValid() && line.url.scheme().compare(u"vocarta", Qt::CaseInsensitive) == 0,
                  "an address request holds a valid vocarta: address");

    // The running copy reads the forwarded arguments the same way.
    const CommandLine again = CommandLine::parse(line.arguments);
    fuzzCheck(again.outcome == line.outcome && again.request == line.request && again.url == line.url &&
                  again.error == line.error,
              "a forwarded line reads the same");
}
