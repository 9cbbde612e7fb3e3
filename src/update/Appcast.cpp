#include "update/Appcast.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

const QString sparkleNamespace = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

struct ItemBuilder {
    QString version, shortVersion, title, notes, link, enclosureUrl, enclosureVersion;
};

// Reads one <item>; the reader stands on its start element.
std::optional<AppcastItem> readItem(QXmlStreamReader &xml, int number, QString *error)
{
    ItemBuilder b;
    while (xml.readNextStartElement()) {
        const bool sparkle = xml.namespaceUri() == sparkleNamespace;
        const auto name = xml.name();
        if (sparkle && name == u"version") {
            b.version = xml.readElementText().trimmed();
        } else if (sparkle && name == u"shortVersionString") {
            b.shortVersion = xml.readElementText().trimmed();
        } else if (xml.namespaceUri().isEmpty() && name == u"title") {
            b.title = xml.readElementText().trimmed();
        } else if (xml.namespaceUri().isEmpty() && name == u"description") {
            b.notes = xml.readElementText().trimmed();
        } else if (xml.namespaceUri().isEmpty() && name == u"link") {
            b.link = xml.readElementText().trimmed();
        } else if (xml.namespaceUri().isEmpty() && name == u"enclosure") {
            b.enclosureUrl = xml.attributes().value(QString(), QStringLiteral("url")).toString().trimmed();
            b.enclosureVersion =
                xml.attributes().value(sparkleNamespace, QStringLiteral("version")).toString().trimmed();
            xml.skipCurrentElement();
        } else {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        return std::nullopt;

    const QString where = QStringLiteral("item %1").arg(number);
    const QString versionText = b.version.isEmpty() ? b.enclosureVersion : b.version;
    const QVersionNumber version = Appcast::parseVersion(versionText);
    if (version.isNull()) {
        *error = where + (versionText.isEmpty() ? QStringLiteral(" has no version")
                                                : QStringLiteral(" has an unreadable version"));
        return std::nullopt;
    }
    const QUrl page(b.link.isEmpty() ? b.enclosureUrl : b.link, QUrl::StrictMode);
    if (!page.isValid() || !Appcast::isSafeAddress(page)) {
        *error = where + QStringLiteral(" has no usable download address");
        return std::nullopt;
    }
    return AppcastItem{version, b.shortVersion.isEmpty() ? versionText : b.shortVersion, b.title, b.notes,
                       page};
}

} // namespace

QVersionNumber Appcast::parseVersion(const QString &text)
{
    static const QRegularExpression dotted(QStringLiteral("^[0-9]{1,9}(\\.[0-9]{1,9}){0,5}$"));
    if (!dotted.match(text).hasMatch())
        return {};
    // 1.2 and 1.2.0 are the same release.
    return QVersionNumber::fromString(text).normalized();
}

bool Appcast::isSafeAddress(const QUrl &url)
{
    if (url.scheme() == u"https" && !url.host().isEmpty())
        return true;
    if (url.scheme() != u"http")
        return false;
    if (url.host() == u"localhost")
        return true;
    const QHostAddress address(url.host());
    return !address.isNull() && address.isLoopback();
}

std::optional<Appcast> Appcast::parse(const QByteArray &document, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    if (document.size() > maximumSize) {
        *error = QStringLiteral("the update feed is too large");
        return std::nullopt;
    }
    QXmlStreamReader xml(document);
    Appcast feed;
    bool sawChannel = false;
    // Entities of a document type declaration are never expanded: refuse it.
    while (!xml.atEnd() && !xml.isStartElement() && !xml.isDTD())
        xml.readNext();
    if (xml.isDTD()) {
        *error = QStringLiteral("the update feed is not well-formed XML (a document type declaration)");
        return std::nullopt;
    }
    if (!xml.isStartElement() || xml.name() != u"rss") {
        *error = QStringLiteral("the update feed is not an RSS document");
        return std::nullopt;
    }
    while (xml.readNextStartElement()) {
        if (xml.name() != u"channel" || sawChannel) {
            xml.skipCurrentElement();
            continue;
        }
        sawChannel = true;
        while (xml.readNextStartElement()) {
            if (xml.name() != u"item" || !xml.namespaceUri().isEmpty()) {
                xml.skipCurrentElement();
                continue;
            }
            auto item = readItem(xml, int(feed.items.size()) + 1, error);
            if (!item) {
                if (xml.hasError())
                    break;
                return std::nullopt;
            }
            feed.items.append(*item);
        }
    }
    // Anything after the root element (a second root, stray text) is an error too.
    while (!xml.atEnd() && !xml.hasError()) {
        xml.readNext();
        if (xml.isStartElement() || (xml.isCharacters() && !xml.isWhitespace()))
            xml.raiseError(QStringLiteral("content after the document"));
    }
    if (xml.hasError()) {
        *error = QStringLiteral("the update feed is not well-formed XML (line %1: %2)")
                     .arg(xml.lineNumber())
                     .arg(xml.errorString());
        return std::nullopt;
    }
    if (!sawChannel) {
        *error = QStringLiteral("the update feed has no channel");
        return std::nullopt;
    }
    return feed;
}

std::optional<AppcastItem> Appcast::newest() const
{
    if (items.isEmpty())
        return std::nullopt;
    return *std::max_element(items.begin(), items.end(), [](const AppcastItem &a, const AppcastItem &b) {
        return a.version < b.version;
    });
}
