#include "DictZipReader.h"

#include <zlib.h>

namespace {
// No entry of a real dictionary comes near this; a larger length is a corrupt index.
constexpr quint64 maxReadLength = 1 << 20;
constexpr int gzipTrailer = 8;
// The fixed header, the extra field (at most 64 KiB) and room for a file name.
constexpr qint64 maxHeaderLength = 10 + 2 + 65535 + 4096;

quint16 le16(QByteArrayView b, qsizetype at)
{
    return quint16(uchar(b.at(at)) | (uchar(b.at(at + 1)) << 8));
}

enum : uchar { flagHeaderCrc = 0x02, flagExtra = 0x04, flagName = 0x08, flagComment = 0x10 };
} // namespace

bool DictZipReader::open(const QString &path, QString *error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, m_file.errorString());
        return false;
    }
    const QByteArray head = m_file.read(std::min(m_file.size(), maxHeaderLength));
    const auto layout = parseHeader(head, m_file.size(), error);
    if (!layout) {
        *error = QStringLiteral("%1: %2").arg(path, *error);
        return false;
    }
    m_data = {};
    m_layout = *layout;
    m_cache.clear();
    return true;
}

bool DictZipReader::openBytes(QByteArrayView bytes, QString *error)
{
    const auto layout = parseHeader(bytes, bytes.size(), error);
    if (!layout)
        return false;
    m_file.close();
    m_data = bytes;
    m_layout = *layout;
    m_cache.clear();
    return true;
}

std::optional<DictZipReader::Layout> DictZipReader::parseHeader(QByteArrayView file, qint64 fileSize,
                                                                QString *error)
{
    auto fail = [&](const QString &why) -> std::optional<Layout> {
        *error = why;
        return std::nullopt;
    };
    if (file.size() < 12 || fileSize < 10 + gzipTrailer || uchar(file.at(0)) != 0x1f ||
        uchar(file.at(1)) != 0x8b || file.at(2) != 8)
        return fail(QStringLiteral("not a gzip file"));
    const uchar flags = uchar(file.at(3));
    if (!(flags & flagExtra))
        return fail(QStringLiteral("a plain gzip file, without dictzip's chunk table"));
    qsizetype pos = 10;
    const qsizetype extraEnd = pos + 2 + le16(file, pos);
    if (extraEnd > file.size())
        return fail(QStringLiteral("truncated extra field"));
    Layout layout;
    bool found = false;
    for (pos += 2; pos + 4 <= extraEnd;) {
        const qsizetype fieldLength = le16(file, pos + 2);
        const qsizetype fieldStart = pos + 4;
        if (fieldStart + fieldLength > extraEnd)
            return fail(QStringLiteral("an extra subfield overruns the extra field"));
        if (file.at(pos) == 'R' && file.at(pos + 1) == 'A') {
            if (fieldLength < 6 || le16(file, fieldStart) != 1)
                return fail(QStringLiteral("unknown chunk table version"));
            layout.chunkLength = le16(file, fieldStart + 2);
            const qsizetype count = le16(file, fieldStart + 4);
            if (layout.chunkLength == 0 || count == 0 || fieldLength != 6 + 2 * count)
                return fail(QStringLiteral("the chunk table's size does not match its count"));
            layout.chunkStarts = {0}; // made absolute below, once the header's end is known
            layout.chunkStarts.reserve(count + 1);
            for (qsizetype i = 0; i < count; ++i)
                layout.chunkStarts.append(layout.chunkStarts.last() + le16(file, fieldStart + 6 + 2 * i));
            found = true;
        }
        pos = fieldStart + fieldLength;
    }
    if (!found)
        return fail(QStringLiteral("no chunk table (RA) in the extra field"));
    pos = extraEnd;
    for (uchar zeroTerminated : {flagName, flagComment}) {
        if (!(flags & zeroTerminated))
            continue;
        const qsizetype end = file.sliced(pos).indexOf('\0');
        if (end < 0)
            return fail(QStringLiteral("truncated header"));
        pos += end + 1;
    }
    if (flags & flagHeaderCrc)
        pos += 2;
    for (qint64 &start : layout.chunkStarts)
        start += pos;
    if (layout.chunkStarts.last() > fileSize - gzipTrailer)
        return fail(QStringLiteral("the chunk table describes more data than the file holds"));
    return layout;
}

std::optional<QByteArray> DictZipReader::compressed(qsizetype index) const
{
    const qint64 start = m_layout.chunkStarts.at(index);
    const qint64 size = m_layout.chunkStarts.at(index + 1) - start;
    if (!m_file.isOpen())
        return m_data.sliced(start, size).toByteArray();
    if (!m_file.seek(start))
        return std::nullopt;
    QByteArray bytes = m_file.read(size);
    if (bytes.size() != size)
        return std::nullopt;
    return bytes;
}

std::optional<QByteArray> DictZipReader::chunk(qsizetype index, qsizetype needed, QString *error) const
{
    for (qsizetype i = 0; i < m_cache.size(); ++i) {
        const Inflated &cached = m_cache.at(i);
        if (cached.index != index)
            continue;
        if (cached.complete || cached.bytes.size() >= needed) {
            m_cache.move(i, 0);
            return m_cache.first().bytes;
        }
        // A second, longer read of the chunk: a reader going through the file takes it whole.
        needed = qsizetype(m_layout.chunkLength);
    }
    const auto input = compressed(index);
    if (!input) {
        *error = QStringLiteral("chunk %1 of the dictionary cannot be read").arg(index);
        return std::nullopt;
    }
    const bool last = index + 2 == m_layout.chunkStarts.size();
    const bool whole = needed >= qsizetype(m_layout.chunkLength);
    QByteArray out(whole ? qsizetype(m_layout.chunkLength) : needed, Qt::Uninitialized);
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
        *error = QStringLiteral("zlib could not start");
        return std::nullopt;
    }
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(input->constData()));
    stream.avail_in = uInt(input->size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    const int status = inflate(&stream, Z_SYNC_FLUSH);
    const qsizetype produced = out.size() - qsizetype(stream.avail_out);
    const bool inputLeft = stream.avail_in != 0;
    inflateEnd(&stream);
    // A whole chunk uses all of its bytes and, except the last, fills the chunk length.
    const bool ok =
        (status == Z_OK || status == Z_STREAM_END || status == Z_BUF_ERROR) &&
        (whole ? !inputLeft && (last || produced == out.size()) : (last || produced == out.size()));
    if (!ok) {
        *error = QStringLiteral("chunk %1 of the dictionary is corrupt").arg(index);
        return std::nullopt;
    }
    out.truncate(produced);
    m_cache.removeIf([index](const Inflated &c) { return c.index == index; });
    m_cache.prepend(Inflated{index, out, whole || produced < needed});
    if (m_cache.size() > cacheSize)
        m_cache.removeLast();
    return out;
}

std::optional<QByteArray> DictZipReader::read(quint64 offset, quint64 length, QString *error) const
{
    const quint64 chunkLength = m_layout.chunkLength;
    const quint64 chunks = quint64(m_layout.chunkStarts.size() - 1);
    if (chunkLength == 0 || length > maxReadLength || offset > chunkLength * chunks ||
        length > chunkLength * chunks - offset) {
        *error = QStringLiteral("entry at %1 (+%2) lies outside the dictionary").arg(offset).arg(length);
        return std::nullopt;
    }
    QByteArray out;
    out.reserve(qsizetype(length));
    for (quint64 index = offset / chunkLength; quint64(out.size()) < length; ++index) {
        const quint64 from = out.isEmpty() ? offset % chunkLength : 0;
        const quint64 needed = std::min(chunkLength, from + length - quint64(out.size()));
        const auto data = index < chunks ? chunk(qsizetype(index), qsizetype(needed), error) : std::nullopt;
        if (index < chunks && !data)
            return std::nullopt;
        if (!data || from >= quint64(data->size())) {
            *error = QStringLiteral("entry at %1 (+%2) runs past the data").arg(offset).arg(length);
            return std::nullopt;
        }
        out.append(data->sliced(qsizetype(from), qsizetype(std::min<quint64>(quint64(data->size()) - from,
                                                                             length - out.size()))));
    }
    return out;
}
