#pragma once

#include <QString>

#include <QCoroTask>

#include <optional>

// An object on the accessibility bus: its application's bus name and path.
struct AccessibleRef {
    QString service;
    QString path;
    friend bool operator==(const AccessibleRef &, const AccessibleRef &) = default;
};

// What reading a selection through embedded objects asks of the objects of a
// document: the program's answers come from the applications over the bus, a
// test's from a tree it builds. Every question may go unanswered (absent).
class AccessibleTextTree {
public:
    struct Range {
        int start = 0;
        int end = 0;
    };
    // The object an embedded-object character stands for.
    struct Embedded {
        AccessibleRef object;
        // Flows with the text around it (a link, emphasis), rather than
        // standing as a block of its own (a paragraph, a heading).
        bool isInline = false;
        // Its first selection; absent when it has none.
        std::optional<Range> selection;
    };

    virtual ~AccessibleTextTree() = default;
    // The text in [start, end); end -1 is the end of the text.
    virtual QCoro::Task<std::optional<QString>> text(const AccessibleRef &object, int start, int end) = 0;
    // The object behind the embedded-object character at `offset` of `parent`.
    virtual QCoro::Task<std::optional<Embedded>> embedded(const AccessibleRef &parent, int offset) = 0;
    // The read's time is up: no further question is worth asking.
    virtual bool expired() const = 0;
};
