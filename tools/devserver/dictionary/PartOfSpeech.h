#pragma once

#include <QString>

namespace PartOfSpeech {
// The card's category from a dictionary's grammar note ("neut", "v, intr",
// "adj", "n, fem"); a note naming none gives "phrase" for several words and
// "word" otherwise.
QString category(const QString &grammar, const QString &word);
} // namespace PartOfSpeech
