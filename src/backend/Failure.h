#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// Base of every failure that travels out of a coroutine as an exception.
// description() is the text a person sees; what() is the same text as UTF-8
// so that generic std::exception handlers print something useful too.
class Failure : public std::exception {
public:
    explicit Failure(QString description);
    ~Failure() override;

    virtual QString description() const;
    const char *what() const noexcept override;

private:
    QString m_description;
    QByteArray m_utf8;
};

// What a person sees of a failure: the description of one of ours, the
// library's text for any other exception.
QString describe(const std::exception &failure);

// The failure in the log's words: what() (English, whatever the user's
// language), so that a log reads the same on every desktop.
QString logText(const std::exception &failure);
