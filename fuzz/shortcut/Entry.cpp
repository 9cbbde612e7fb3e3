// The stored shortcut through its reader; what it accepts must survive a
// write and a second read unchanged.

#include "FuzzEntry.h"

#include "capture/KeyCombo.h"

#include <QByteArray>

void fuzzOne(const std::uint8_t *data, std::size_t size)
{
    const QByteArray json = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<KeyCombo> combo = KeyCombo::fromJson(json);
    if (!combo)
        return;
    (void)combo->isReserved();
    const std::optional<KeyCombo> again = KeyCombo::fromJson(combo->toJson());
    fuzzCheck(again.has_value(), "a written shortcut reads back");
    fuzzCheck(*again == *combo, "a written shortcut reads back unchanged");
}
