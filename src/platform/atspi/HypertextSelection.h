#pragma once

#include "platform/atspi/AccessibleTextTree.h"

#include <QList>
#include <QString>

#include <QCoroTask>

#include <optional>

// The selected text of a hypertext object, read as screen readers read it: a
// web page or a document shows each of its paragraphs, links and emphases in
// its own text as one embedded-object character (U+FFFC), and the selection
// inside that child is the child's own. Each such character in the selected
// range is replaced by the child's selected text (all of it where the child
// has no selection of its own, since it lies inside the selected range),
// in document order; block children are set apart by a space, inline ones
// keep their place inside the words. Bounded in objects, depth and length.
class HypertextSelection {
public:
    struct Limits {
        int maxObjects = 64;
        int maxDepth = 8;
        qsizetype maxLength = 1 << 20;
    };

    static constexpr QChar objectReplacement{0xFFFC};

    explicit HypertextSelection(AccessibleTextTree &tree);
    HypertextSelection(AccessibleTextTree &tree, Limits limits);

    // The text of [range.start, range.end) of `object`, its embedded objects
    // replaced by what is selected in them; absent when `object` did not
    // answer.
    QCoro::Task<std::optional<QString>> read(const AccessibleRef &object, AccessibleTextTree::Range range);

    // How many embedded objects the last read asked about.
    int objectsVisited() const { return m_visited; }

    // The text without what is not text: embedded-object characters, the
    // replacement character, controls other than tabs and line breaks,
    // private-use, unassigned and unpaired surrogate code points.
    static QString withoutNonText(const QString &text);

private:
    QCoro::Task<std::optional<QString>> collect(AccessibleRef object, AccessibleTextTree::Range range,
                                                int depth);

    AccessibleTextTree &m_tree;
    Limits m_limits;
    int m_visited = 0;
    // The objects being read, outermost first: a child that names one of
    // them again is a cycle, and is left out.
    QList<AccessibleRef> m_path;
};
