#include "app/Translations.h"
#include "FakeDeckState.h"
#include "FakeSession.h"
#include "backend/ConvexError.h"
#include "tray/TrayMenu.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTranslator>
#include <QtTest>

namespace {

using Variables = QMap<QString, QString>;

Translations::Environment environment(const Variables &variables)
{
    return [variables](const char *name) { return variables.value(QString::fromLatin1(name)); };
}

void uninstallAll()
{
    for (QTranslator *translator : qApp->findChildren<QTranslator *>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}

QStringList signedOutMenu()
{
    FakeSession auth;
    FakeDeckState decks;
    TrayMenu menu(auth, decks);
    QStringList texts;
    for (const QAction *action : menu.menu()->actions())
        texts << action->text();
    return texts;
}

} // namespace

class TranslationsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { uninstallAll(); }

    void wantedNames_data()
    {
        QTest::addColumn<Variables>("variables");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("nothing set") << Variables{} << QStringList{};
        QTest::newRow("LANGUAGE list, then LANG") << Variables{{"LANGUAGE", "de:fr"}, {"LANG", "es_ES.UTF-8"}}
                                                  << QStringList{"de", "fr", "es_ES", "es"};
        QTest::newRow("LC_ALL over LC_MESSAGES over LANG, codeset and modifier dropped")
            << Variables{{"LC_ALL", "fr_CA.UTF-8@euro"}, {"LC_MESSAGES", "de_DE"}, {"LANG", "es_ES"}}
            << QStringList{"fr_CA", "fr"};
        QTest::newRow("LC_MESSAGES over LANG")
            << Variables{{"LC_MESSAGES", "es_MX"}, {"LANG", "de_DE"}} << QStringList{"es_MX", "es"};
        QTest::newRow("C locale: English") << Variables{{"LANG", "C.UTF-8"}} << QStringList{};
        QTest::newRow("English first in LANGUAGE ends the list")
            << Variables{{"LANGUAGE", "en_GB:de"}, {"LANG", "de_DE.UTF-8"}} << QStringList{};
        QTest::newRow("LANGUAGE wins over a C locale")
            << Variables{{"LANGUAGE", "de"}, {"LANG", "C.UTF-8"}} << QStringList{"de"};
        QTest::newRow("empty entries skipped")
            << Variables{{"LANGUAGE", ":pt_BR::"}} << QStringList{"pt_BR", "pt"};
    }

    void wantedNames()
    {
        QFETCH(Variables, variables);
        QFETCH(QStringList, expected);
        QCOMPARE(Translations::wantedNames(environment(variables)), expected);
    }

    // The first wanted language the program carries wins; each carries the menu.
    void installChoosesTheFirstCarriedLanguage_data()
    {
        QTest::addColumn<Variables>("variables");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("menu");
        QTest::newRow("de after an unknown one") << Variables{{"LANGUAGE", "pt_BR:de"}} << "de"
                                                 << QStringList{"Anmelden …", "", "Vocarta Menubar beenden"};
        QTest::newRow("fr from LANG") << Variables{{"LANG", "fr_FR.UTF-8"}} << "fr"
                                      << QStringList{"Se connecter…", "", "Quitter Vocarta Menubar"};
        QTest::newRow("es from LC_MESSAGES")
            << Variables{{"LC_MESSAGES", "es_AR.UTF-8"}} << "es"
            << QStringList{"Iniciar sesión…", "", "Salir de Vocarta Menubar"};
        QTest::newRow("none carried: English") << Variables{{"LANG", "ja_JP.UTF-8"}} << ""
                                               << QStringList{"Sign In...", "", "Quit Vocarta Menubar"};
    }

    void installChoosesTheFirstCarriedLanguage()
    {
        QFETCH(Variables, variables);
        QFETCH(QString, chosen);
        QFETCH(QStringList, menu);
        QCOMPARE(Translations::install(*qApp, environment(variables)), chosen);
        QCOMPARE(signedOutMenu(), menu);
    }

    // English keeps its source texts but reads its plurals from a file.
    void englishPlurals()
    {
        QCOMPARE(Translations::install(*qApp, environment({{"LANG", "C.UTF-8"}})), QString());
        const auto results = [](int n) {
            return QCoreApplication::translate("AddCardOverlayView", "%n result(s)", nullptr, n);
        };
        QCOMPARE(results(1), QStringLiteral("1 result"));
        QCOMPARE(results(3), QStringLiteral("3 results"));
        uninstallAll();
        Translations::install(*qApp, environment({{"LANGUAGE", "fr"}}));
        QCOMPARE(results(1), QStringLiteral("1 résultat"));
        QCOMPARE(results(2), QStringLiteral("2 résultats"));
    }

    // A person reads the service's failures in their language; the log keeps English.
    void failuresTranslatedForPeopleNotForLogs()
    {
        Translations::install(*qApp, environment({{"LANGUAGE", "de"}}));
        const ConvexError error = ConvexError::serverError(503, QStringLiteral("Service Unavailable"));
        QCOMPARE(describe(error), QStringLiteral("Serverfehler (503): Service Unavailable"));
        QCOMPARE(logText(error), QStringLiteral("Server error (503): Service Unavailable"));
    }
};

QTEST_MAIN(TranslationsTest)
#include "TranslationsTest.moc"
