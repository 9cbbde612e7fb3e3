#pragma once

#include <QColor>
#include <QStringView>

namespace Color {
// A colour from a hexadecimal text such as "#FF6B6B": non-alphanumeric
// characters are trimmed from both ends, an optional 0x prefix is accepted,
// the longest hexadecimal prefix is read as a 64-bit number and its low 24 bits
// are red, green and blue. No short form, no alpha; garbage gives black.
QColor hex(QStringView text);
} // namespace Color
