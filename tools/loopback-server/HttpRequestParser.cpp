#include "HttpRequestParser.h"

#include <optional>
#include <string_view>

namespace {

bool isTokenChar(char c)
{
    static constexpr std::string_view punctuation = "!#$%&'*+-.^_`|~";
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           punctuation.find(c) != std::string_view::npos;
}

bool isToken(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (char c : text)
        if (!isTokenChar(c))
            return false;
    return true;
}

// An origin-form target: "/" and visible ASCII; a fragment never travels.
bool isTarget(QByteArrayView text)
{
    if (!text.startsWith('/'))
        return false;
    for (char c : text)
        if (c <= ' ' || c >= 127 || c == '#')
            return false;
    return true;
}

// Visible characters, spaces, tabs and bytes of other encodings; never a control character.
bool isFieldValue(QByteArrayView text)
{
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < ' ' && byte != '\t') || byte == 127)
            return false;
    }
    return true;
}

bool isVersion(QByteArrayView text)
{
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return text.size() == 8 && text.startsWith("HTTP/") && digit(text[5]) && text[6] == '.' && digit(text[7]);
}

QByteArrayView trimmedOws(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

std::optional<qint64> parseLength(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 15)
        return std::nullopt;
    qint64 value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

HttpParseResult refused(int status, const char *reason)
{
    HttpParseResult result;
    result.kind = HttpParseResult::Kind::Refused;
    result.status = status;
    result.reason = reason;
    return result;
}

// Where the head ends (the index of its final CRLF CRLF), -1 when it has not
// ended yet, or a refusal when a line break is not CRLF.
std::optional<qsizetype> findHeadEnd(QByteArrayView input, qsizetype limit, HttpParseResult *refusal)
{
    const qsizetype scan = std::min(input.size(), limit);
    for (qsizetype i = 0; i < scan; ++i) {
        if (input[i] == '\r' && i + 1 < scan && input[i + 1] != '\n') {
            *refusal = refused(400, "bare CR in the request head");
            return std::nullopt;
        }
        if (input[i] != '\n')
            continue;
        if (i == 0 || input[i - 1] != '\r') {
            *refusal = refused(400, "bare LF in the request head");
            return std::nullopt;
        }
        if (i >= 3 && input[i - 2] == '\n')
            return i - 3;
    }
    return -1;
}

} // namespace

HttpParseResult parseHttpRequest(QByteArrayView input, const HttpLimits &limits)
{
    HttpParseResult result;
    const std::optional<qsizetype> headEnd = findHeadEnd(input, limits.maxHeadBytes, &result);
    if (!headEnd)
        return result;
    if (*headEnd < 0)
        return input.size() >= limits.maxHeadBytes ? refused(431, "request head too large") : result;

    const QByteArrayView head = input.first(*headEnd);
    qsizetype lineEnd = head.indexOf("\r\n");
    const QByteArrayView requestLine = lineEnd < 0 ? head : head.first(lineEnd);
    const qsizetype firstSpace = requestLine.indexOf(' ');
    const qsizetype secondSpace = firstSpace < 0 ? -1 : requestLine.indexOf(' ', firstSpace + 1);
    if (secondSpace < 0)
        return refused(400, "malformed request line");
    HttpRequest &request = result.request;
    request.method = requestLine.first(firstSpace).toByteArray();
    request.target = requestLine.sliced(firstSpace + 1, secondSpace - firstSpace - 1).toByteArray();
    request.version = requestLine.sliced(secondSpace + 1).toByteArray();
    if (!isToken(request.method) || !isTarget(request.target))
        return refused(400, "malformed request line");
    if (request.version != "HTTP/1.1" && request.version != "HTTP/1.0")
        return isVersion(request.version) ? refused(505, "only HTTP/1.0 and HTTP/1.1 are served")
                                          : refused(400, "malformed request line");
    const qsizetype query = request.target.indexOf('?');
    request.path = query < 0 ? request.target : request.target.first(query);

    while (lineEnd >= 0) {
        const qsizetype start = lineEnd + 2;
        lineEnd = head.indexOf("\r\n", start);
        const QByteArrayView line = head.sliced(start, (lineEnd < 0 ? head.size() : lineEnd) - start);
        const qsizetype colon = line.indexOf(':');
        // A line that starts with a space continues the previous one (obsolete folding): refused.
        if (colon < 0 || !isToken(line.first(colon)))
            return refused(400, "malformed header line");
        const QByteArrayView value = trimmedOws(line.sliced(colon + 1));
        if (!isFieldValue(value))
            return refused(400, "control character in a header value");
        request.headers.append({line.first(colon).toByteArray(), value.toByteArray()});
    }
    if (request.headerCount("Host") > 1)
        return refused(400, "more than one Host header");

    if (request.isWebSocketUpgrade()) {
        result.kind = HttpParseResult::Kind::Upgrade;
        result.size = *headEnd + 4;
        return result;
    }
    if (request.hasHeader("Transfer-Encoding"))
        return refused(501, "request bodies must come with a Content-Length, not a Transfer-Encoding");
    qint64 length = 0;
    if (request.headerCount("Content-Length") > 1)
        return refused(400, "more than one Content-Length header");
    if (request.hasHeader("Content-Length")) {
        const std::optional<qint64> parsed = parseLength(request.header("Content-Length"));
        if (!parsed)
            return refused(400, "malformed Content-Length");
        length = *parsed;
    } else if (request.method == "POST") {
        return refused(411, "Content-Length required");
    }
    if (length > limits.maxBodyBytes)
        return refused(413, "request body too large");
    if (input.size() < *headEnd + 4 + length) {
        result = {};
        result.size = *headEnd + 4 + length; // the body is still on its way
        return result;
    }
    request.body = input.sliced(*headEnd + 4, length).toByteArray();
    result.kind = HttpParseResult::Kind::Request;
    result.size = *headEnd + 4 + length;
    return result;
}
