#pragma once

#include <QByteArrayView>

#include <optional>

// One line of a dictd index: "headword<TAB>offset<TAB>length", the numbers in
// dictd's own base64 digits (A-Z a-z 0-9 + /, most significant first).
struct IndexLine {
    QByteArrayView headword;
    quint64 offset = 0;
    quint64 length = 0;

    // Strict: exactly three fields, a non-empty headword, digits of the
    // alphabet only and values that fit in 48 bits; nullopt otherwise.
    static std::optional<IndexLine> parse(QByteArrayView line);
};
