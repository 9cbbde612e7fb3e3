#pragma once

#include "DictEntry.h"

#include <QByteArrayView>

#include <optional>

// Reads the text of one FreeDict entry as dictfmt stores it:
//
//   house /hˈaʊs/ <n>
//   Haus <neut>, Heim <neut> [fig.]
//         "build a house"  - ein Haus bauen
//      Synonym: {home}
//    see: {houses}
//
// or numbered senses ("1. maison", "2. foyer"). Notes and synonym lists are
// not needed for a card and are skipped. nullopt when the text is not UTF-8 or
// has no headword.
class EntryParser {
public:
    static std::optional<DictEntry> parse(QByteArrayView utf8);

    // "a, b <v, intr> [techn.]" as translations, split at top-level commas.
    static QList<DictTranslation> splitTranslations(const QString &line);
};
