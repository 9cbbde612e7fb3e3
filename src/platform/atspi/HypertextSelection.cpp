#include "platform/atspi/HypertextSelection.h"

namespace {

bool isText(char32_t codePoint)
{
    if (codePoint == HypertextSelection::objectReplacement.unicode() || codePoint == 0xFFFD)
        return false;
    if (codePoint == '\t' || codePoint == '\n' || codePoint == '\r')
        return true;
    switch (QChar::category(codePoint)) {
    case QChar::Other_Control:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Other_Surrogate:
        return false;
    default:
        return true;
    }
}

bool endsInSpace(const QString &text)
{
    return text.isEmpty() || text.back().isSpace();
}

} // namespace

HypertextSelection::HypertextSelection(AccessibleTextTree &tree)
    : HypertextSelection(tree, Limits{})
{
}

HypertextSelection::HypertextSelection(AccessibleTextTree &tree, Limits limits)
    : m_tree(tree)
    , m_limits(limits)
{
}

QCoro::Task<std::optional<QString>> HypertextSelection::read(const AccessibleRef &object,
                                                             AccessibleTextTree::Range range)
{
    m_visited = 0;
    m_path.clear();
    co_return co_await collect(object, range, 0);
}

QCoro::Task<std::optional<QString>> HypertextSelection::collect(AccessibleRef object,
                                                                AccessibleTextTree::Range range, int depth)
{
    // Never more asked for than is kept: a whole document selected would
    // otherwise travel over the bus in one piece.
    const qsizetype maxLength = m_limits.maxLength;
    if (range.end >= 0 && qsizetype(range.end) - range.start > maxLength)
        range.end = int(range.start + maxLength);
    const std::optional<QString> text = co_await m_tree.text(object, range.start, range.end);
    if (!text || !text->contains(objectReplacement))
        co_return text ? std::optional<QString>(text->left(maxLength)) : std::nullopt;

    m_path.append(object);
    QString out;
    // A block child has just ended: the next word is set apart from it.
    bool afterBlock = false;
    // Offsets on the bus count characters, not UTF-16 units.
    int offset = range.start;
    for (qsizetype i = 0; i < text->size() && out.size() < maxLength; ++i, ++offset) {
        const QChar c = text->at(i);
        if (c != objectReplacement) {
            if (afterBlock && !c.isSpace() && !endsInSpace(out))
                out += QLatin1Char(' ');
            afterBlock = false;
            out += c;
            if (c.isHighSurrogate() && i + 1 < text->size() && text->at(i + 1).isLowSurrogate())
                out += text->at(++i);
            continue;
        }
        if (depth >= m_limits.maxDepth || m_visited >= m_limits.maxObjects || m_tree.expired())
            continue;
        ++m_visited;
        const std::optional<AccessibleTextTree::Embedded> child = co_await m_tree.embedded(object, offset);
        if (!child || m_path.contains(child->object))
            continue;
        // Inside the selected range: where the child has no selection of its
        // own, all of it is selected.
        const AccessibleTextTree::Range childRange =
            child->selection.value_or(AccessibleTextTree::Range{0, -1});
        const std::optional<QString> piece = co_await collect(child->object, childRange, depth + 1);
        if (!piece || piece->isEmpty())
            continue;
        if ((!child->isInline || afterBlock) && !endsInSpace(out) && !piece->front().isSpace())
            out += QLatin1Char(' ');
        out += *piece;
        afterBlock = !child->isInline;
    }
    m_path.removeLast();
    co_return out.left(maxLength);
}

QString HypertextSelection::withoutNonText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            const QChar low = text.at(++i);
            if (isText(QChar::surrogateToUcs4(c, low))) {
                out += c;
                out += low;
            }
            continue;
        }
        if (isText(c.unicode()))
            out += c;
    }
    return out;
}
