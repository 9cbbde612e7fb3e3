// An update feed through the strict feed parser, and its text through the
// version and address checks every item passes.

#include "FuzzEntry.h"

#include "update/Appcast.h"

#include <QByteArray>

void fuzzOne(const std::uint8_t *data, std::size_t size)
{
    const QByteArray document(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<Appcast> feed = Appcast::parse(document, &error);
    fuzzCheck(feed.has_value() != !error.isEmpty(), "a refused feed says why, an accepted one does not");
    if (feed) {
        for (const AppcastItem &item : feed->items) {
            fuzzCheck(!item.version.isNull() && item.version == item.version.normalized(),
                      "an item has a normalized version");
            fuzzCheck(!item.displayVersion.isEmpty(), "an item has a version to show");
            fuzzCheck(item.downloadPage.isValid() && Appcast::isSafeAddress(item.downloadPage),
                      "an item's download page is safe");
        }
        const std::optional<AppcastItem> newest = feed->newest();
        fuzzCheck(newest.has_value() == !feed->items.isEmpty(), "a feed with items has a newest one");
        for (const AppcastItem &item : feed->items)
            fuzzCheck(item.version <= newest->version, "no item is newer than the newest");
    }

    const QString text = QString::fromUtf8(document);
    const QVersionNumber version = Appcast::parseVersion(text);
    if (!version.isNull()) {
        fuzzCheck(version.segmentCount() <= 6, "a version has at most six parts");
        for (int part : version.segments())
            fuzzCheck(part >= 0 && part <= 999999999, "version parts are small numbers");
        fuzzCheck(Appcast::parseVersion(version.toString()) == version, "a version reads back as itself");
    }
    const QUrl url(text, QUrl::StrictMode);
    if (Appcast::isSafeAddress(url))
        fuzzCheck(url.scheme() == u"https" || url.scheme() == u"http", "a safe address is a web one");
}
