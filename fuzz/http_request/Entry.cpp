// Bytes a client sends to the local deployment, through the strict request
// parser and the checks that keep other sites' pages out.

#include "FuzzEntry.h"

#include "HttpRequestParser.h"
#include "LoopbackOrigin.h"

#include <QByteArrayView>

namespace {

using Kind = HttpParseResult::Kind;

// Small limits, so that inputs of a few kilobytes reach them.
constexpr HttpLimits limits{512, 1024};

bool isHostText(QByteArrayView text)
{
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
              c == ':' || c == '[' || c == ']'))
            return false;
    return true;
}

void checkRequest(QByteArrayView input, const HttpParseResult &result)
{
    const HttpRequest &request = result.request;
    fuzzCheck(result.size > 0 && result.size <= input.size(), "a request lies within the input");
    fuzzCheck(result.size - request.body.size() <= limits.maxHeadBytes, "the head stays within its limit");
    fuzzCheck(request.body.size() <= limits.maxBodyBytes, "the body stays within its limit");
    fuzzCheck(result.kind == Kind::Request || request.body.isEmpty(), "an upgrade carries no body");
    fuzzCheck(!request.method.isEmpty() && request.target.startsWith('/'),
              "a request line has a method and a path");
    fuzzCheck(request.target.startsWith(request.path), "the path is the front of the target");
    fuzzCheck(request.version == "HTTP/1.1" || request.version == "HTTP/1.0", "only HTTP/1.x is read");
    for (const auto &[name, value] : request.headers) {
        fuzzCheck(!name.isEmpty() && !name.contains(':'), "header names are tokens");
        fuzzCheck(!value.contains('\r') && !value.contains('\n'), "header values are one line");
    }
    fuzzCheck(request.headerCount("Host") <= 1, "at most one Host");

    // A request reads the same without the bytes that follow it.
    const HttpParseResult alone = parseHttpRequest(input.first(result.size), limits);
    fuzzCheck(alone.kind == result.kind && alone.size == result.size && alone.request.body == request.body,
              "a request does not depend on what follows it");

    if (!foreignOriginRefusal(request))
        fuzzCheck(isLoopbackHost(request.header("Host")), "an admitted request names this machine");
}

} // namespace

void fuzzOne(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    const HttpParseResult whole = parseHttpRequest(input, limits);
    switch (whole.kind) {
    case Kind::Refused:
        fuzzCheck(whole.status >= 400 && whole.status < 600 && !whole.reason.isEmpty(),
                  "a refusal has a status and a reason");
        break;
    case Kind::Incomplete:
        fuzzCheck(whole.size == 0 || whole.size > input.size(), "more bytes are needed");
        fuzzCheck(input.size() < limits.maxHeadBytes + limits.maxBodyBytes,
                  "waiting stays within the limits");
        break;
    case Kind::Request:
    case Kind::Upgrade:
        checkRequest(input, whole);
        break;
    }

    // The same bytes arriving in two pieces: the first piece alone never
    // settles differently from the whole.
    const HttpParseResult front = parseHttpRequest(input.first(input.size() / 2), limits);
    if (front.kind == Kind::Refused)
        fuzzCheck(whole.kind == Kind::Refused && whole.status == front.status, "a refusal stands");
    if (front.kind == Kind::Request || front.kind == Kind::Upgrade)
        fuzzCheck(whole.kind == front.kind && whole.size == front.size, "a whole request stays whole");

    if (isLoopbackHost(input))
        fuzzCheck(isHostText(input), "a loopback host is a plain host name or address");
    if (isLoopbackOrigin(input))
        fuzzCheck(input.startsWith("http://") || input.startsWith("https://"),
                  "a loopback origin is a web one");
}
