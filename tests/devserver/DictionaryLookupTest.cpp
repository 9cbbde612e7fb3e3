#include "DictionaryTranslator.h"

#include <QJsonObject>
#include <QtTest>

// Lookups against the dictionaries scripts/setup installs (FreeDict's
// eng-deu and deu-eng, eng-fra and fra-eng), as the deployment makes them.
class DictionaryLookupTest : public QObject {
    Q_OBJECT

    std::unique_ptr<DictionaryTranslator> m_translator;

private Q_SLOTS:
    void initTestCase()
    {
        m_translator = std::make_unique<DictionaryTranslator>(QStringLiteral("/usr/share/dictd"));
        for (const char *pair : {"en-de", "de-en", "en-fr", "fr-en"})
            QVERIFY2(m_translator->pairNames().contains(QLatin1String(pair)),
                     qPrintable(m_translator->pairNames().join(u' ')));
    }

    void selectionsFindTheirHeadword_data()
    {
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QString>("langTo");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("translation");
        QTest::addColumn<QString>("phonetic");
        QTest::newRow("plural") << "houses"
                                << "de"
                                << "Häuser"
                                << "houses"
                                << "/hˈɔøzɜ/";
        QTest::newRow("plural's reference to the singular") << "houses"
                                                            << "de"
                                                            << "Haus"
                                                            << "house"
                                                            << "/hˈaʊs/";
        QTest::newRow("past tense") << "ran"
                                    << "de"
                                    << "laufen"
                                    << "run"
                                    << "/lˈaʊfən/";
        QTest::newRow("infinitive with to") << "To run"
                                            << "de"
                                            << "laufen"
                                            << "run"
                                            << "/lˈaʊfən/";
        QTest::newRow("German plural with umlaut") << "Häuser"
                                                   << "de"
                                                   << "Häuser"
                                                   << "houses"
                                                   << "/hˈɔøzɜ/";
        QTest::newRow("umlaut typed without") << "Hauser"
                                              << "de"
                                              << "Häuser"
                                              << "houses"
                                              << "/hˈɔøzɜ/";
        QTest::newRow("phrase") << "open house"
                                << "de"
                                << "Haus der offenen Tür"
                                << "open house"
                                << "";
        QTest::newRow("other side of the deck") << "Schmetterling"
                                                << "de"
                                                << "Schmetterling"
                                                << "butterfly"
                                                << "/ʃmˈɛtɜlˌɪŋ/";
        QTest::newRow("only the opposite dictionary's translations know") << "songs"
                                                                          << "fr"
                                                                          << "chanson"
                                                                          << "song"
                                                                          << "";
        QTest::newRow("plural only Hunspell knows") << "maisons"
                                                    << "fr"
                                                    << "maison"
                                                    << "house"
                                                    << "/mɛzɔ̃/";
    }

    void selectionsFindTheirHeadword()
    {
        QFETCH(QString, selection);
        QFETCH(QString, langTo);
        QFETCH(QString, word);
        QFETCH(QString, translation);
        QFETCH(QString, phonetic);
        const QJsonArray candidates = m_translator->translate(selection, QStringLiteral("en"), langTo);
        QVERIFY(!candidates.isEmpty() && candidates.size() <= DictionaryTranslator::maxCandidates);
        QStringList seen;
        std::optional<QJsonObject> match;
        for (const QJsonValue &value : candidates) {
            const QJsonObject c = value.toObject();
            seen.append(c.value("word").toString() + u'=' + c.value("translation").toString());
            // Every candidate can be said; an example never stands without its pair.
            QVERIFY2(c.value("phonetic").toString().startsWith(u'/'), qPrintable(seen.last()));
            QCOMPARE(c.value("exampleSentence").toString().isEmpty(),
                     c.value("exampleSentenceTranslation").toString().isEmpty());
            if (c.value("word").toString() == word && c.value("translation").toString() == translation)
                match = c;
        }
        QVERIFY2(match, qPrintable(seen.join(QStringLiteral(", "))));
        if (!phonetic.isEmpty())
            QCOMPARE(match->value("phonetic").toString(), phonetic);
    }

    void candidatesCarryTheDictionarysOwnExamples()
    {
        const QJsonObject house =
            m_translator->translate(QStringLiteral("house"), QStringLiteral("en"), QStringLiteral("de"))
                .first()
                .toObject();
        QCOMPARE(house.value("word").toString(), QStringLiteral("Haus"));
        QCOMPARE(house.value("category").toString(), QStringLiteral("noun"));
        QCOMPARE(house.value("exampleSentence").toString(), QStringLiteral("ein Haus bauen"));
        QCOMPARE(house.value("exampleSentenceTranslation").toString(), QStringLiteral("build a house"));
        // English-French names no part of speech; French-English's entry for the word does.
        QCOMPARE(m_translator->translate(QStringLiteral("houses"), QStringLiteral("en"), QStringLiteral("fr"))
                     .first()
                     .toObject()
                     .value("category")
                     .toString(),
                 QStringLiteral("noun"));
        // Reversed, the German sentence is still the one in the language being learnt.
        const QJsonObject glueck =
            m_translator->translate(QStringLiteral("Glück"), QStringLiteral("en"), QStringLiteral("de"))
                .first()
                .toObject();
        QCOMPARE(glueck.value("word").toString(), QStringLiteral("Glück"));
        QVERIFY(!glueck.value("exampleSentence").toString().isEmpty());
        QVERIFY(glueck.value("exampleSentence").toString().contains(QStringLiteral("Glück")));
    }

    void unknownWordsAndUnservedPairsGiveNothing()
    {
        for (const char *langTo : {"de", "fr"})
            for (const char *word : {"xylophonicz", "", "   ", "!!!", "00-database-info"})
                QVERIFY2(m_translator
                             ->translate(QString::fromUtf8(word), QStringLiteral("en"),
                                         QString::fromLatin1(langTo))
                             .isEmpty(),
                         word);
        QVERIFY(!m_translator->serves(QStringLiteral("hu"), QStringLiteral("en")));
        QVERIFY(m_translator->translate(QStringLiteral("house"), QStringLiteral("hu"), QStringLiteral("en"))
                    .isEmpty());
    }
};

QTEST_GUILESS_MAIN(DictionaryLookupTest)
#include "DictionaryLookupTest.moc"
