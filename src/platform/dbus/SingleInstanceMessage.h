#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// What a later start sends over the local socket: one JSON line
// {"arguments": [...], "token": "..."} and nothing else.
struct SingleInstanceMessage {
    QStringList arguments;
    QString activationToken;

    static constexpr qsizetype maximumSize = 64 * 1024;

    // `line` without its newline. Anything but exactly that shape is refused.
    static std::optional<SingleInstanceMessage> decode(const QByteArray &line);
    // With the newline.
    QByteArray encode() const;

    friend bool operator==(const SingleInstanceMessage &, const SingleInstanceMessage &) = default;
};
