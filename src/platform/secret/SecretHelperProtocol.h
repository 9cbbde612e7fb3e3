#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// What the program and its secret-store helper say to each other: one request
// on the helper's standard input, one answer on its standard output. Each is a
// short list of UTF-8 fields, each field written as "<length>:<bytes>," so any
// text (a label with a comma, a value with a NUL) passes unchanged. Whatever
// does not parse exactly is refused.
namespace SecretHelperProtocol {

enum class Operation { Save, Load, Remove };

struct Request {
    Operation operation = Operation::Load;
    QString service;
    QString account;
    QString value; // saves only
    QString label; // saves only
};

struct Answer {
    enum class Status {
        Found,      // a load found the item; text is its value
        Missing,    // a load found nothing (or bytes that are not text)
        Done,       // a save or removal went through
        Unavailable // the store could not be used; text says why
    };
    Status status = Status::Unavailable;
    QString text;
};

QByteArray encode(const Request &request);
std::optional<Request> parseRequest(QByteArrayView bytes);

QByteArray encode(const Answer &answer);
std::optional<Answer> parseAnswer(QByteArrayView bytes);

// More than any request or answer can hold; a reader stops there.
inline constexpr qsizetype maximumSize = 1 << 20;

} // namespace SecretHelperProtocol
