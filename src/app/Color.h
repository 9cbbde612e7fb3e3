#pragma once

#include <QColor>
#include <QObject>
#include <QStringView>
#include <QtQml/qqmlregistration.h>

namespace Color {
// A colour from a hexadecimal text such as "#FF6B6B": non-alphanumeric
// characters are trimmed from both ends, an optional 0x prefix is accepted,
// the longest hexadecimal prefix is read as a 64-bit number and its low 24 bits
// are red, green and blue. No short form, no alpha; garbage gives black.
QColor hex(QStringView text);
} // namespace Color

// Exposes Color::hex to the views as the QML singleton "Color".
class ColorHelper : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    Q_INVOKABLE QColor hex(const QString &text) const { return Color::hex(text); }
};
