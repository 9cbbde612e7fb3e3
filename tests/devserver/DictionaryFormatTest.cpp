#include "DictIndex.h"
#include "DictZipReader.h"
#include "EntryParser.h"
#include "HeadwordKey.h"
#include "IndexLine.h"

#include <QTemporaryDir>
#include <QtTest>

#include <zlib.h>

namespace {
// A dictzip file as dictzip writes one: raw deflate flushed fully at every
// chunk boundary, the compressed sizes in the "RA" extra field.
QByteArray dictzip(const QByteArray &text, int chunkLength)
{
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray body;
    QList<quint16> sizes;
    for (qsizetype pos = 0; pos < text.size(); pos += chunkLength) {
        const QByteArray chunk = text.mid(pos, chunkLength);
        QByteArray out(int(deflateBound(&stream, uLong(chunk.size()))) + 64, '\0');
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(chunk.constData()));
        stream.avail_in = uInt(chunk.size());
        stream.next_out = reinterpret_cast<Bytef *>(out.data());
        stream.avail_out = uInt(out.size());
        deflate(&stream, pos + chunkLength >= text.size() ? Z_FINISH : Z_FULL_FLUSH);
        out.truncate(out.size() - qsizetype(stream.avail_out));
        sizes.append(quint16(out.size()));
        body += out;
    }
    deflateEnd(&stream);
    auto le16 = [](QByteArray *b, quint32 v) { b->append(char(v & 0xff)).append(char((v >> 8) & 0xff)); };
    QByteArray file("\x1f\x8b\x08\x04\0\0\0\0\x02\x03", 10);
    le16(&file, quint32(10 + 2 * sizes.size()));
    file += "RA";
    le16(&file, quint32(6 + 2 * sizes.size()));
    le16(&file, 1);
    le16(&file, quint32(chunkLength));
    le16(&file, quint32(sizes.size()));
    for (quint16 s : sizes)
        le16(&file, s);
    file += body;
    const quint32 crc =
        quint32(crc32(0, reinterpret_cast<const Bytef *>(text.constData()), uInt(text.size())));
    le16(&file, crc & 0xffff);
    le16(&file, crc >> 16);
    le16(&file, quint32(text.size()) & 0xffff);
    le16(&file, quint32(text.size()) >> 16);
    return file;
}

QByteArray dictdNumber(quint64 n)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    QByteArray out;
    do {
        out.prepend(digits[n % 64]);
        n /= 64;
    } while (n);
    return out;
}

const QByteArray houseEntry = "house /hˈaʊs/\n"
                              "Haus <neut>, Heim <neut> [fig.]\n"
                              "      \"build a house\"  - ein Haus bauen\n"
                              "      \"stay in the house\"  - im Haus bleiben\n"
                              "   Synonym: {home}\n"
                              " see: {houses}, {open house}\n";
const QByteArray runEntry = "run /ɹˈʌn/ (ran /ɹˈan/ <>, run /ɹˈʌn/ <>) <v>\n"
                            "rennen, schnell laufen <v, intr>\n"
                            "         Note: fast\n";
const QByteArray housesEntry = "Häuser /hˈɔøzɜ/ <pl>\nhouses\n see: {Haus}\n";
} // namespace

class DictionaryFormatTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dictzipReadsEntriesAcrossChunkBoundaries()
    {
        const QByteArray text = houseEntry + runEntry + housesEntry + QByteArray(300, 'x');
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("t.dict.dz")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(dictzip(text, 64));
        file.close();

        DictZipReader reader;
        QString error;
        QVERIFY2(reader.open(file.fileName(), &error), qPrintable(error));
        // Each entry, the whole text (eight chunks) and single bytes on both sides of a boundary.
        const QList<std::pair<qsizetype, qsizetype>> spans = {
            {0, houseEntry.size()},
            {houseEntry.size(), runEntry.size()},
            {houseEntry.size() + runEntry.size(), housesEntry.size()},
            {0, text.size()},
            {63, 1},
            {64, 1},
            {text.size() - 1, 1}};
        for (const auto &[offset, length] : spans) {
            const auto read = reader.read(quint64(offset), quint64(length), &error);
            QVERIFY2(read, qPrintable(error));
            QCOMPARE(*read, text.mid(offset, length));
        }
        QVERIFY(!reader.read(quint64(text.size()) - 1, 2, &error));
        QVERIFY(!reader.read(quint64(1) << 40, 1, &error));
        QVERIFY(!error.isEmpty());
    }

    void dictzipRefusesCorruptFilesCleanly()
    {
        const QByteArray text = houseEntry + runEntry + housesEntry;
        const QByteArray good = dictzip(text, 64);
        const qsizetype countAt =
            10 + 2 + 4 + 4; // header, XLEN, "RA" and its length, version and chunk length
        auto patched = [&](qsizetype at, QByteArray bytes) {
            return QByteArray(good).replace(at, bytes.size(), bytes);
        };
        const QList<std::pair<const char *, QByteArray>> refused = {
            {"not gzip", patched(0, "PK")},
            {"plain gzip", patched(3, QByteArray(1, '\0'))},
            {"truncated header", good.first(14)},
            {"count larger than the table", patched(countAt, QByteArray("\x09\x00", 2))},
            {"chunk table beyond the file", patched(countAt + 2, QByteArray("\xff\xff", 2))},
            {"zero chunk length", patched(countAt - 2, QByteArray("\0\0", 2))},
            {"no RA field", patched(12, "XY")},
        };
        for (const auto &[what, bytes] : refused) {
            DictZipReader reader;
            QString error;
            QVERIFY2(!reader.openBytes(bytes, &error), what);
            QVERIFY2(!error.isEmpty(), what);
        }

        // A table that fits but a chunk whose bytes are garbage: that read fails, the others do not.
        QByteArray garbled = good;
        const qsizetype dataStart = countAt + 2 + 2 * ((text.size() + 63) / 64);
        for (qsizetype i = dataStart; i < dataStart + 8; ++i)
            garbled[i] = char(0xff);
        DictZipReader reader;
        QString error;
        QVERIFY(reader.openBytes(garbled, &error));
        QVERIFY(!reader.read(0, 10, &error));
        QVERIFY(error.contains(QStringLiteral("corrupt")));
        const auto later = reader.read(128, 20, &error);
        QVERIFY(later);
        QCOMPARE(*later, text.mid(128, 20));
    }

    void entryParserReadsTheDictionaryForms()
    {
        auto house = EntryParser::parse(houseEntry);
        QVERIFY(house);
        QCOMPARE(house->headword, QStringLiteral("house"));
        QCOMPARE(house->ipa, QStringLiteral("hˈaʊs"));
        QCOMPARE(house->senses.size(), 1);
        const DictSense &sense = house->senses.first();
        QCOMPARE(sense.translations.size(), 2);
        QCOMPARE(sense.translations.at(0).text, QStringLiteral("Haus"));
        QCOMPARE(sense.translations.at(0).grammar, QStringLiteral("neut"));
        QCOMPARE(sense.translations.at(1).text, QStringLiteral("Heim")); // the field label is not the word
        QCOMPARE(sense.examples.size(), 2);
        QCOMPARE(sense.examples.first().source, QStringLiteral("build a house"));
        QCOMPARE(sense.examples.first().target, QStringLiteral("ein Haus bauen"));
        QCOMPARE(house->seeAlso, (QStringList{QStringLiteral("houses"), QStringLiteral("open house")}));

        // The inflected forms in parentheses are not the entry's grammar; a group shares its note.
        auto run = EntryParser::parse(runEntry);
        QVERIFY(run);
        QCOMPARE(run->ipa, QStringLiteral("ɹˈʌn"));
        QCOMPARE(run->grammar, QStringLiteral("v"));
        QCOMPARE(run->senses.first().translations.at(0).text, QStringLiteral("rennen"));
        QCOMPARE(run->senses.first().translations.at(0).grammar, QStringLiteral("v, intr"));
        QCOMPARE(run->senses.first().translations.at(1).text, QStringLiteral("schnell laufen"));

        // Numbered senses, in order; commas inside parentheses stay in the item.
        auto numbered =
            EntryParser::parse("run /rʌn/\n1. fonctionner\n2. s'élancer, se précipiter (vite, fort)\n");
        QVERIFY(numbered);
        QCOMPARE(numbered->senses.size(), 2);
        QCOMPARE(numbered->senses.at(1).translations.size(), 2);
        QCOMPARE(numbered->senses.at(1).translations.at(1).text,
                 QStringLiteral("se précipiter (vite, fort)"));

        QVERIFY(!EntryParser::parse(""));
        QVERIFY(!EntryParser::parse("   \nHaus"));
        QVERIFY(!EntryParser::parse("house /h\xff/\nHaus"));
    }

    void indexFindsKeysExactlyAndWithoutAccents()
    {
        QCOMPARE(IndexLine::parse("haus\tBAK3S\tx")->offset, 16821714ull);
        QCOMPARE(IndexLine::parse("haus\tBAK3S\tx")->length, 49ull);
        for (const char *bad :
             {"haus\tBAK3S", "\tA\tB", "haus\tA-\tB", "haus\tA\tB\r", "haus\tAAAAAAAAA\tB", "haus\tA\t"})
            QVERIFY2(!IndexLine::parse(bad), bad);

        QCOMPARE(HeadwordKey::indexKey(QStringLiteral("  Don't-Stop ")), QByteArray("dontstop"));
        QCOMPARE(HeadwordKey::indexKey(QStringLiteral("Häuser")), QByteArray("häuser"));

        QByteArray index;
        const QList<QByteArray> keys = {"abc", "haus", "haus", "hausboot", "häuser", "zug", "ähnlich"};
        for (qsizetype i = 0; i < keys.size(); ++i)
            index += keys.at(i) + '\t' + dictdNumber(quint64(i) * 100) + '\t' + dictdNumber(7) + '\n';
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("t.index")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(index);
        file.close();
        DictIndex lookup;
        QString error;
        QVERIFY2(lookup.open(file.fileName(), &error), qPrintable(error));

        const auto both = lookup.find("haus");
        QCOMPARE(both.size(), 2);
        QCOMPARE(both.at(1).offset, 200ull);
        QCOMPARE(lookup.find("abc").size(), 1);
        QCOMPARE(lookup.find("ähnlich").first().offset, 600ull);
        for (const char *absent : {"aa", "hau", "hausbo", "zzz", "ähnliche"})
            QVERIFY2(lookup.find(absent).isEmpty(), absent);
        QCOMPARE(lookup.findFolded("hauser").size(), 1);
        QCOMPARE(lookup.findFolded("hauser").first().headword, QByteArray("häuser"));
        QCOMPARE(lookup.findFolded("ahnlich").size(), 1);
        QVERIFY(lookup.findFolded("hauserx").isEmpty());
    }
};

QTEST_GUILESS_MAIN(DictionaryFormatTest)
#include "DictionaryFormatTest.moc"
