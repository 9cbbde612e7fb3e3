#include "app/Translations.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTranslator>

namespace {

// Where qt_add_translations puts the compiled files in the resources.
QString programFile(const QString &name)
{
    return QStringLiteral(":/i18n/vocarta_") + name + QStringLiteral(".qm");
}

// "de_DE.UTF-8@euro" -> "de_DE": the codeset and modifier do not choose texts.
QString localeName(QString value)
{
    const qsizetype cut = value.indexOf(QRegularExpression(QStringLiteral("[.@]")));
    if (cut >= 0)
        value.truncate(cut);
    return value.trimmed();
}

} // namespace

QStringList Translations::wantedNames(const Environment &environment)
{
    QStringList entries = environment("LANGUAGE").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = environment(variable);
        if (!value.isEmpty()) {
            entries << value;
            break;
        }
    }
    QStringList names;
    for (const QString &entry : std::as_const(entries)) {
        const QString name = localeName(entry);
        if (name.isEmpty())
            continue;
        const QString language = name.section(QLatin1Char('_'), 0, 0);
        if (name == QLatin1String("C") || name == QLatin1String("POSIX") || language == QLatin1String("en"))
            break;
        names << name;
        if (language != name)
            names << language;
    }
    names.removeDuplicates();
    return names;
}

bool Translations::has(const QString &name)
{
    return name != QLatin1String("en") && QFile::exists(programFile(name));
}

QString Translations::install(QCoreApplication &application, const Environment &environment)
{
    for (const QString &name : wantedNames(environment)) {
        if (!has(name))
            continue;
        auto *own = new QTranslator(&application);
        if (!own->load(programFile(name))) {
            delete own;
            continue;
        }
        QCoreApplication::installTranslator(own);
        // Qt's own texts (the buttons of the update dialog) come from the
        // system's Qt translations, where they are installed.
        auto *qt = new QTranslator(&application);
        if (qt->load(QStringLiteral("qtbase_") + name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(qt);
        else
            delete qt;
        return name;
    }
    // English is the source language; only its plural forms need a file.
    auto *plurals = new QTranslator(&application);
    if (plurals->load(programFile(QStringLiteral("en"))))
        QCoreApplication::installTranslator(plurals);
    else
        delete plurals;
    return {};
}

Translations::Environment Translations::systemEnvironment()
{
    return [](const char *name) { return qEnvironmentVariable(name); };
}
