#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <optional>

// Random access into a dictzip file: a gzip file whose header's "RA" extra
// field lists the compressed size of each fixed-size chunk, each chunk
// inflatable on its own. A read inflates only the chunks it spans, each only
// as far as needed; the last few inflated chunks are kept, as neighbouring
// entries share them. The file is read, not mapped: a lookup touches a few
// kilobytes of a file of many megabytes, which need not stay resident.
class DictZipReader {
public:
    struct Layout {
        quint32 chunkLength = 0;
        QList<qint64> chunkStarts; // one more than chunks: the end of the last
    };

    bool open(const QString &path, QString *error);
    // The file's bytes, already in memory (tests, fuzzing); kept by reference.
    bool openBytes(QByteArrayView bytes, QString *error);

    // The uncompressed bytes [offset, offset + length); nullopt with a reason
    // when they lie outside the data or a chunk does not inflate.
    std::optional<QByteArray> read(quint64 offset, quint64 length, QString *error) const;

    // The gzip header (the file's first bytes) and its chunk table, checked against the file's size.
    static std::optional<Layout> parseHeader(QByteArrayView head, qint64 fileSize, QString *error);

private:
    struct Inflated {
        qsizetype index = -1;
        QByteArray bytes;
        bool complete = false;
    };
    // Chunk `index` inflated at least to `needed` bytes (fewer only at the data's end).
    std::optional<QByteArray> chunk(qsizetype index, qsizetype needed, QString *error) const;
    std::optional<QByteArray> compressed(qsizetype index) const;

    mutable QFile m_file;
    QByteArrayView m_data; // the whole file, when given as bytes
    Layout m_layout;
    static constexpr qsizetype cacheSize = 8;
    mutable QList<Inflated> m_cache; // most recent first
};
