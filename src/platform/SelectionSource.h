#pragma once

#include <QString>

#include <QCoroTask>

// One way of reading the text selected in the application the user works in.
class SelectionSource {
public:
    struct Result {
        enum class Status {
            Selected,        // `text` is the selection (not empty)
            NothingSelected, // the source is sure there is nothing to take
            Unavailable,     // the source cannot tell; another source may
            // The source cannot tell while the shortcut's key may still hold
            // the keyboard; ask readAfterRelease() once the key is up.
            AfterRelease,
        };
        Status status = Status::Unavailable;
        QString text;

        static Result selected(QString text) { return {Status::Selected, std::move(text)}; }
        static Result nothing() { return {Status::NothingSelected, {}}; }
        static Result unavailable() { return {Status::Unavailable, {}}; }
        static Result afterRelease() { return {Status::AfterRelease, {}}; }
    };

    virtual ~SelectionSource() = default;
    // Never throws; every problem is `Unavailable` or `NothingSelected`.
    // Called at the shortcut's press, possibly while its key is still held.
    virtual QCoro::Task<Result> read() = 0;
    // The read once the key is up (or the wait for it has run out); never
    // answers `AfterRelease`.
    virtual QCoro::Task<Result> readAfterRelease() { return read(); }
};
