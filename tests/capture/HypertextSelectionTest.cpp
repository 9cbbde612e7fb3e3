#include "platform/atspi/HypertextSelection.h"

#include <QHash>
#include <QtTest>

#include <QCoroTask>

namespace {

using Range = AccessibleTextTree::Range;

// One object of a document: its text, and for each embedded-object
// character (by character offset) the path of the object it stands for.
struct Node {
    QString text;
    bool isInline = false;
    std::optional<Range> selection;
    QHash<int, QString> links;
};
using Tree = QHash<QString, Node>;

const QString obj = QString(QChar(0xFFFC));

// Answers from the tree at once; a path it lacks answers nothing, as an
// object that went away meanwhile.
class FakeTree : public AccessibleTextTree {
public:
    explicit FakeTree(Tree tree)
        : m_tree(std::move(tree))
    {
    }

    QCoro::Task<std::optional<QString>> text(const AccessibleRef &object, int start, int end) override
    {
        ++m_calls;
        if (!m_tree.contains(object.path))
            co_return std::nullopt;
        const QList<uint> chars = m_tree.value(object.path).text.toUcs4();
        const int last = end < 0 ? int(chars.size()) : std::min(end, int(chars.size()));
        if (start < 0 || start > last)
            co_return QString();
        co_return QString::fromUcs4(reinterpret_cast<const char32_t *>(chars.constData()) + start,
                                    last - start);
    }

    QCoro::Task<std::optional<Embedded>> embedded(const AccessibleRef &parent, int offset) override
    {
        ++m_calls;
        const QString child = m_tree.value(parent.path).links.value(offset);
        if (child.isEmpty() || !m_tree.contains(child))
            co_return std::nullopt;
        const Node &node = m_tree[child];
        co_return Embedded{{QStringLiteral(":1.5"), child}, node.isInline, node.selection};
    }

    bool expired() const override { return false; }
    int calls() const { return m_calls; }

private:
    Tree m_tree;
    int m_calls = 0;
};

} // namespace

Q_DECLARE_METATYPE(Tree)

class HypertextSelectionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsThroughEmbeddedObjects_data();
    void readsThroughEmbeddedObjects();
    void staysWithinItsBounds();
    void keepsOnlyText_data();
    void keepsOnlyText();
};

void HypertextSelectionTest::readsThroughEmbeddedObjects_data()
{
    // The page is "doc"; the read is of its selected range.
    QTest::addColumn<Tree>("tree");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain text, no embedded object")
        << Tree{{"doc", {"un papillon bleu", false, Range{3, 11}, {}}}} << 3 << 11
        << QStringLiteral("papillon");
    QTest::newRow("a word in the page's one paragraph")
        << Tree{{"doc", {obj, false, Range{0, 1}, {{0, "p"}}}},
                {"p", {"le papillon vole", false, Range{3, 11}, {}}}}
        << 0 << 1 << QStringLiteral("papillon");
    QTest::newRow("a word inside a link inside a paragraph")
        << Tree{{"doc", {obj, false, Range{0, 1}, {{0, "p"}}}},
                {"p", {"see " + obj + " now", false, Range{4, 5}, {{4, "a"}}}},
                {"a", {"butterfly", true, Range{0, 9}, {}}}}
        << 0 << 1 << QStringLiteral("butterfly");
    QTest::newRow("a link wholly inside the selection, with no selection of its own")
        << Tree{{"doc", {obj, false, Range{0, 1}, {{0, "p"}}}},
                {"p", {"a " + obj + " flies", false, Range{0, 9}, {{2, "a"}}}},
                {"a", {"blue butterfly", true, std::nullopt, {}}}}
        << 0 << 1 << QStringLiteral("a blue butterfly flies");
    QTest::newRow("two words across two paragraphs, joined with a space")
        << Tree{{"doc", {obj + obj + obj, false, Range{0, 2}, {{0, "p1"}, {1, "p2"}, {2, "p3"}}}},
                {"p1", {"first alpha", false, Range{6, 11}, {}}},
                {"p2", {"beta second", false, Range{0, 4}, {}}},
                {"p3", {"not selected", false, std::nullopt, {}}}}
        << 0 << 2 << QStringLiteral("alpha beta");
    QTest::newRow("a selection that ends inside a link uses the link's offsets")
        << Tree{{"doc", {obj, false, Range{0, 1}, {{0, "p"}}}},
                {"p", {"see " + obj + " soon", false, Range{0, 5}, {{4, "a"}}}},
                {"a", {"the page", true, Range{0, 3}, {}}}}
        << 0 << 1 << QStringLiteral("see the");
    QTest::newRow("a link at the very start keeps its word whole")
        << Tree{{"doc", {obj, false, Range{0, 1}, {{0, "p"}}}},
                {"p", {obj + "s fly", false, Range{0, 6}, {{0, "a"}}}},
                {"a", {"butterflie", true, std::nullopt, {}}}}
        << 0 << 1 << QStringLiteral("butterflies fly");
    QTest::newRow("nested: a paragraph in a section, a link, emphasis in the link")
        << Tree{{"doc", {obj, false, Range{0, 1}, {{0, "sec"}}}},
                {"sec", {obj, false, Range{0, 1}, {{0, "p"}}}},
                {"p", {"x " + obj, false, Range{0, 3}, {{2, "a"}}}},
                {"a", {"in" + obj, true, std::nullopt, {{2, "em"}}}},
                {"em", {"ner", true, std::nullopt, {}}}}
        << 0 << 1 << QStringLiteral("x inner");
    QTest::newRow("an empty paragraph adds nothing")
        << Tree{{"doc", {obj + obj, false, Range{0, 2}, {{0, "p1"}, {1, "p2"}}}},
                {"p1", {"", false, std::nullopt, {}}},
                {"p2", {"word", false, Range{0, 4}, {}}}}
        << 0 << 2 << QStringLiteral("word");
    QTest::newRow("a missing child is left out")
        << Tree{{"doc", {"a " + obj + " b", false, Range{0, 5}, {{2, "gone"}}}}} << 0 << 5
        << QStringLiteral("a  b");
    QTest::newRow("a child that is its own ancestor is left out")
        << Tree{{"doc", {obj, false, Range{0, 1}, {{0, "p"}}}},
                {"p", {"loop " + obj, false, Range{0, 6}, {{5, "doc"}}}}}
        << 0 << 1 << QStringLiteral("loop ");
    QTest::newRow("offsets count characters, not UTF-16 units")
        << Tree{{"doc", {"\U0001F98B " + obj, false, Range{0, 3}, {{2, "a"}}}},
                {"a", {"papillon", true, std::nullopt, {}}}}
        << 0 << 3 << QStringLiteral("\U0001F98B papillon");
}

void HypertextSelectionTest::readsThroughEmbeddedObjects()
{
    QFETCH(Tree, tree);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(QString, expected);
    FakeTree fake(tree);
    HypertextSelection selection(fake);
    const std::optional<QString> text =
        QCoro::waitFor(selection.read({QStringLiteral(":1.5"), QStringLiteral("doc")}, {start, end}));
    QVERIFY(text);
    QCOMPARE(*text, expected);
}

void HypertextSelectionTest::staysWithinItsBounds()
{
    // A page of 500 paragraphs all selected: no more objects are asked
    // about than the limit, and no more text is kept than the longest.
    Tree tree;
    QString page;
    QHash<int, QString> links;
    for (int i = 0; i < 500; ++i) {
        page += obj;
        links.insert(i, QStringLiteral("p%1").arg(i));
        tree.insert(QStringLiteral("p%1").arg(i), {QStringLiteral("paragraph %1").arg(i), false, {}, {}});
    }
    tree.insert(QStringLiteral("doc"), {page, false, Range{0, 500}, links});
    FakeTree fake(tree);
    HypertextSelection bounded(fake, {.maxObjects = 64, .maxDepth = 8, .maxLength = 200});
    const auto text = QCoro::waitFor(bounded.read({QStringLiteral(":1.5"), QStringLiteral("doc")}, {0, 500}));
    QVERIFY(text);
    QCOMPARE(text->size(), 200);
    QVERIFY(text->startsWith(QStringLiteral("paragraph 0 paragraph 1 ")));
    QVERIFY(bounded.objectsVisited() <= 64);
    QVERIFY(fake.calls() <= 1 + 2 * 64);

    // A chain deeper than the limit ends there.
    Tree chain;
    for (int i = 0; i < 50; ++i)
        chain.insert(QStringLiteral("n%1").arg(i), {QStringLiteral("%1").arg(i % 10) + obj,
                                                    true,
                                                    std::nullopt,
                                                    {{1, QStringLiteral("n%1").arg(i + 1)}}});
    FakeTree deep(chain);
    HypertextSelection shallow(deep, {.maxObjects = 64, .maxDepth = 8, .maxLength = 1 << 20});
    const auto digits = QCoro::waitFor(shallow.read({QStringLiteral(":1.5"), QStringLiteral("n0")}, {0, -1}));
    QVERIFY(digits);
    QCOMPARE(*digits, QStringLiteral("012345678"));
}

void HypertextSelectionTest::keepsOnlyText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("only an embedded object") << obj << QStringLiteral("");
    QTest::newRow("object and replacement characters around a word")
        << QString(obj + "papillon" + QChar(0xFFFD)) << QStringLiteral("papillon");
    QTest::newRow("controls go, tabs and line breaks stay") << QStringLiteral("a\x07"
                                                                              "b\tc\nd\x1b")
                                                            << QStringLiteral("ab\tc\nd");
    QTest::newRow("private use and unpaired surrogates go")
        << QString(QString(QChar(0xE000)) + "x" + QChar(0xD800) + "y" + QChar(0xDC00))
        << QStringLiteral("xy");
    QTest::newRow("letters of every script and emoji stay")
        << QStringLiteral("Schmetterling \u8774\u8776 \u0641\u0631\u0627\u0634\u0629 \U0001F98B\u200D")
        << QStringLiteral("Schmetterling \u8774\u8776 \u0641\u0631\u0627\u0634\u0629 \U0001F98B\u200D");
}

void HypertextSelectionTest::keepsOnlyText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(HypertextSelection::withoutNonText(text), expected);
}

QTEST_GUILESS_MAIN(HypertextSelectionTest)
#include "HypertextSelectionTest.moc"
