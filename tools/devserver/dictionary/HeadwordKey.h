#pragma once

#include <QByteArray>
#include <QString>

// The keys a dictd index is sorted by, and the looser form used when the exact
// key is not there.
namespace HeadwordKey {
// What dictfmt writes into the index for a headword: lower case, letters,
// digits and blanks only (so "Don't" is "dont", "00-database-info" is
// "00databaseinfo"), accents kept, in UTF-8.
QByteArray indexKey(const QString &word);

// An index key without accents, with ß as "ss": "häuser" and "hauser" meet.
QByteArray folded(QByteArrayView key);
} // namespace HeadwordKey
