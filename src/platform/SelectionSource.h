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
        };
        Status status = Status::Unavailable;
        QString text;

        static Result selected(QString text) { return {Status::Selected, std::move(text)}; }
        static Result nothing() { return {Status::NothingSelected, {}}; }
        static Result unavailable() { return {Status::Unavailable, {}}; }
    };

    virtual ~SelectionSource() = default;
    // Never throws; every problem is `Unavailable` or `NothingSelected`.
    virtual QCoro::Task<Result> read() = 0;
};
