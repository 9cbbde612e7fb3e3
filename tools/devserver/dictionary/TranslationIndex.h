#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <memory>

class DictIndex;

// A small dictionary read the other way round: from the index key of each
// translation to the entries that give it. Built once, off the main thread,
// by reading every entry (a few hundred kilobytes for the small FreeDict
// pairs; the large ones are not indexed this way).
class TranslationIndex {
public:
    // Dictionaries whose .dict.dz is larger than this are left alone.
    static constexpr qint64 maxCompressedSize = 2 * 1024 * 1024;

    // Reads `dataPath` with a reader of its own, so lookups may go on meanwhile.
    static std::unique_ptr<TranslationIndex> build(const DictIndex &index, const QString &dataPath);

    QList<std::pair<quint64, quint64>> entriesWith(QByteArrayView translationKey) const;
    // The key a translation is filed under: its index key, a verb without its "to".
    static QByteArray keyOf(const QString &translation);

private:
    QHash<QByteArray, QList<std::pair<quint64, quint64>>> m_entries;
};
