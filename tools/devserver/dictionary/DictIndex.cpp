#include "DictIndex.h"

#include "HeadwordKey.h"

#include <algorithm>
#include <cstring>

#include <sys/mman.h>

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
    // A binary search touches one page per step: no read-ahead of its neighbours, which would stay resident.
    ::madvise(const_cast<uchar *>(data), size_t(m_file.size()), MADV_RANDOM);
    return true;
}

QByteArrayView DictIndex::lineAt(qsizetype start) const
{
    const QByteArrayView rest = m_data.sliced(start);
    const qsizetype end = rest.indexOf('\n');
    return end < 0 ? rest : rest.first(end);
}

void DictIndex::forEachLocation(const std::function<void(const Location &)> &visit) const
{
    for (qsizetype pos = 0; pos < m_data.size();) {
        const QByteArrayView line = lineAt(pos);
        pos += line.size() + 1;
        if (const auto parsed = IndexLine::parse(line))
            visit(Location{parsed->headword.toByteArray(), parsed->offset, parsed->length});
    }
}

void DictIndex::releasePages() const
{
    if (!m_data.isEmpty())
        ::madvise(const_cast<char *>(m_data.data()), size_t(m_data.size()), MADV_DONTNEED);
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
        // A folded key is never longer than its UTF-8 original nor under half of it; a plain one was
        // already looked up as it is.
        if (key.size() < foldedKey.size() || key.size() > 2 * foldedKey.size() + 2 ||
            std::all_of(key.begin(), key.end(), [](char c) { return uchar(c) < 0x80; }))
            continue;
        if (HeadwordKey::folded(key) != foldedKey)
            continue;
        if (const auto parsed = IndexLine::parse(line))
            out->append(Location{parsed->headword.toByteArray(), parsed->offset, parsed->length});
    }
}

QList<DictIndex::Location> DictIndex::findFolded(QByteArrayView key) const
{
    const QByteArray foldedKey = HeadwordKey::folded(key);
    QList<Location> out = foldedKey != key ? find(foldedKey) : QList<Location>();
    if (foldedKey.isEmpty() || m_data.isEmpty())
        return out;
    // Keys that differ from the folded one first where it has a letter that takes accents: those
    // with that letter there, and those with any letter of U+00C0-U+017F (UTF-8 lead bytes C3-C5).
    static const QByteArrayView accentable("aceinorsuyz");
    qsizetype at = 0;
    while (at < foldedKey.size() && uchar(foldedKey.at(at)) < 0x80 && !accentable.contains(foldedKey.at(at)))
        ++at;
    if (at == foldedKey.size() || uchar(foldedKey.at(at)) >= 0x80)
        return out;
    const QByteArray prefix = foldedKey.first(at);
    const char letter = foldedKey.at(at);
    auto startingWith = [&](char c) { return lowerBound(QByteArray(prefix).append(c)); };
    collect(startingWith(letter), startingWith(char(letter + 1)), foldedKey, &out);
    collect(startingWith(char(0xc3)), startingWith(char(0xc6)), foldedKey, &out);
    return out;
}
