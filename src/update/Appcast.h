#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <QVersionNumber>

#include <optional>

// One release in the update feed.
struct AppcastItem {
    QVersionNumber version;
    QString displayVersion; // sparkle:shortVersionString, else the version
    QString title;
    QString notes;     // the item's description, plain text
    QUrl downloadPage; // where the user gets the release
};

// The update feed: an RSS 2.0 document whose items carry sparkle:version and a
// link to the download page. Parsed strictly: any item that does not hold a
// plain dotted version and a safe download address refuses the whole feed.
struct Appcast {
    QList<AppcastItem> items;

    static constexpr qsizetype maximumSize = 1 << 20;

    static std::optional<Appcast> parse(const QByteArray &document, QString *error);
    // The item with the highest version, if any.
    std::optional<AppcastItem> newest() const;

    // "1.2.10" -> 1.2.10; anything else (suffixes, blanks, empty parts) -> null.
    static QVersionNumber parseVersion(const QString &text);
    // https anywhere, plain http only to this machine.
    static bool isSafeAddress(const QUrl &url);
};
