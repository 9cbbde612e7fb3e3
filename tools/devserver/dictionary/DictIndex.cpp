#include "DictIndex.h"

#include "HeadwordKey.h"

#include <algorithm>
#include <cstring>

namespace {
QByteArrayView keyOf(QByteArrayView line)
{
    const qsizetype tab = line.indexOf('\t');
    return tab < 0 ? line : line.first(tab);
}

int compareBytes(QByteArrayView a, QByteArrayView b)
{
    const int c = std::memcmp(a.data(), b.data(), size_t(std::min(a.size(), b.size())));
    if (c != 0)
        return c;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}
} // namespace

bool DictIndex::open(const QString &path, QString *error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, m_file.errorString());
        return false;
    }
    if (m_file.size() == 0) {
        *error = QStringLiteral("%1 is empty").arg(path);
        return false;
    }
    const uchar *data = m_file.map(0, m_file.size());
    if (!data) {
        *error = QStringLiteral("cannot map %1: %2").arg(path, m_file.errorString());
        return false;
    }
    m_data = QByteArrayView(reinterpret_cast<const char *>(data), m_file.size());
    return true;
}

QByteArrayView DictIndex::lineAt(qsizetype start) const
{
    const QByteArrayView rest = m_data.sliced(start);
    const qsizetype end = rest.indexOf('\n');
    return end < 0 ? rest : rest.first(end);
}

// The start of the first line whose key is not below `key` (the data's size if none).
qsizetype DictIndex::lowerBound(QByteArrayView key) const
{
    qsizetype lo = 0;
    qsizetype hi = m_data.size();
    while (lo < hi) {
        qsizetype start = lo + (hi - lo) / 2;
        while (start > lo && m_data.at(start - 1) != '\n')
            --start;
        const QByteArrayView line = lineAt(start);
        if (compareBytes(keyOf(line), key) < 0)
            lo = start + line.size() + 1;
        else
            hi = start;
    }
    return std::min(lo, m_data.size());
}

QList<DictIndex::Location> DictIndex::find(QByteArrayView key) const
{
    QList<Location> out;
    if (key.isEmpty() || m_data.isEmpty())
        return out;
    for (qsizetype pos = lowerBound(key); pos < m_data.size();) {
        const QByteArrayView line = lineAt(pos);
        pos += line.size() + 1;
        if (keyOf(line) != key)
            break;
        if (const auto parsed = IndexLine::parse(line))
            out.append(Location{parsed->headword.toByteArray(), parsed->offset, parsed->length});
    }
    return out;
}

void DictIndex::collect(qsizetype from, qsizetype to, QByteArrayView foldedKey, QList<Location> *out) const
{
    for (qsizetype pos = from; pos < to;) {
        const QByteArrayView line = lineAt(pos);
        pos += line.size() + 1;
        const QByteArrayView key = keyOf(line);
        // A folded key is never longer than its UTF-8 original nor under half of it.
        if (key.size() < foldedKey.size() || key.size() > 2 * foldedKey.size() + 2)
            continue;
        if (HeadwordKey::folded(key) != foldedKey)
            continue;
        if (const auto parsed = IndexLine::parse(line))
            out->append(Location{parsed->headword.toByteArray(), parsed->offset, parsed->length});
    }
}

QList<DictIndex::Location> DictIndex::findFolded(QByteArrayView key) const
{
    QList<Location> out;
    const QByteArray foldedKey = HeadwordKey::folded(key);
    if (foldedKey.isEmpty() || m_data.isEmpty())
        return out;
    const char first = foldedKey.front();
    if (uchar(first) < 0x80) {
        // Keys that start with the same plain letter, then those that start with any accented one.
        const char next[2] = {char(first + 1), 0};
        collect(lowerBound(QByteArrayView(&first, 1)), lowerBound(QByteArrayView(next, 1)), foldedKey, &out);
    }
    const char high = char(0x80);
    collect(lowerBound(QByteArrayView(&high, 1)), m_data.size(), foldedKey, &out);
    return out;
}
