#pragma once

#include "IndexLine.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <functional>

// A dictd index, memory-mapped: lines sorted by their key's bytes, looked up
// by binary search, so opening costs nothing and a lookup touches a few pages.
class DictIndex {
public:
    struct Location {
        QByteArray headword;
        quint64 offset = 0;
        quint64 length = 0;
    };

    bool open(const QString &path, QString *error);

    // Every line whose key is exactly `key` (an index key, see HeadwordKey).
    QList<Location> find(QByteArrayView key) const;
    // Lines whose key equals `key` once both lose their accents ("hauser"
    // finds "häuser", "café" finds "cafe"); used only when find() has
    // nothing, as it scans the keys that share the word's start up to its
    // first letter that takes accents.
    QList<Location> findFolded(QByteArrayView key) const;

    // Every line in file order (each entry once per headword that files it).
    void forEachLocation(const std::function<void(const Location &)> &visit) const;

    // Drops the mapped pages from this process's resident memory. They stay
    // in the page cache, shared and ready; without this, lookups over time
    // would count the whole index (tens of megabytes) as the deployment's own.
    void releasePages() const;

private:
    QByteArrayView lineAt(qsizetype start) const;
    qsizetype lowerBound(QByteArrayView key) const;
    void collect(qsizetype from, qsizetype to, QByteArrayView foldedKey, QList<Location> *out) const;

    QFile m_file;
    QByteArrayView m_data;
};
