#include "LoopbackOrigin.h"

#include "HttpRequest.h"

#include <QList>

#include <cctype>

namespace {

bool isDigits(QByteArrayView text, qsizetype maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool isPort(QByteArrayView text)
{
    return isDigits(text, 5) && text.toInt() <= 65535;
}

// Four decimal octets, the first 127: the whole 127/8 block is this machine.
bool isLoopbackIpv4(QByteArrayView text)
{
    int octets = 0;
    for (QByteArrayView rest = text; octets < 4; ++octets) {
        const qsizetype dot = rest.indexOf('.');
        const QByteArrayView octet = dot < 0 ? rest : rest.first(dot);
        if (!isDigits(octet, 3) || octet.toInt() > 255 || (octets == 0 && octet.toInt() != 127))
            return false;
        if (dot < 0)
            return octets == 3;
        rest = rest.sliced(dot + 1);
    }
    return false;
}

// Colon-separated groups of one to four hex digits; empty text has none.
bool hexGroups(QByteArrayView text, QList<int> *groups)
{
    for (QByteArrayView rest = text; !text.isEmpty();) {
        const qsizetype colon = rest.indexOf(':');
        const QByteArrayView group = colon < 0 ? rest : rest.first(colon);
        if (group.isEmpty() || group.size() > 4)
            return false;
        for (char c : group)
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return false;
        groups->append(group.toInt(nullptr, 16));
        if (colon < 0)
            break;
        rest = rest.sliced(colon + 1);
    }
    return true;
}

// Only ::1 in any spelling ("::" stands for a run of zero groups once).
bool isLoopbackIpv6(QByteArrayView text)
{
    QList<int> groups;
    const qsizetype gap = text.indexOf("::");
    if (gap < 0) {
        if (!hexGroups(text, &groups) || groups.size() != 8)
            return false;
    } else {
        QList<int> tail;
        if (!hexGroups(text.first(gap), &groups) || !hexGroups(text.sliced(gap + 2), &tail) ||
            groups.size() + tail.size() > 7)
            return false;
        groups.append(QList<int>(8 - groups.size() - tail.size(), 0));
        groups.append(tail);
    }
    return groups == QList<int>{0, 0, 0, 0, 0, 0, 0, 1};
}

} // namespace

bool isLoopbackHost(QByteArrayView host)
{
    QByteArrayView name = host;
    if (host.startsWith('[')) {
        const qsizetype close = host.indexOf(']');
        if (close < 0)
            return false;
        const QByteArrayView after = host.sliced(close + 1);
        if (!after.isEmpty() && !(after.startsWith(':') && isPort(after.sliced(1))))
            return false;
        return isLoopbackIpv6(host.sliced(1, close - 1));
    }
    const qsizetype colon = name.indexOf(':');
    if (colon >= 0) {
        if (!isPort(name.sliced(colon + 1)))
            return false;
        name = name.first(colon);
    }
    return name.compare("localhost", Qt::CaseInsensitive) == 0 || isLoopbackIpv4(name);
}

bool isLoopbackOrigin(QByteArrayView origin)
{
    for (QByteArrayView scheme : {QByteArrayView("http://"), QByteArrayView("https://")})
        if (origin.startsWith(scheme))
            return isLoopbackHost(origin.sliced(scheme.size()));
    return false;
}

std::optional<HttpRefusal> foreignOriginRefusal(const HttpRequest &request)
{
    if (request.headerCount("Host") != 1)
        return HttpRefusal{400, "exactly one Host header is required"};
    if (!isLoopbackHost(request.header("Host")))
        return HttpRefusal{403, "the Host is not this machine"};
    for (const auto &[name, value] : request.headers)
        if (name.compare("Origin", Qt::CaseInsensitive) == 0 && !isLoopbackOrigin(value))
            return HttpRefusal{403, "the Origin is not a page of this machine"};
    return std::nullopt;
}
