#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QCoreApplication;

// The program's texts in the user's language. The English texts in the code
// are the source language; a language is chosen the way gettext programs on
// the same desktop choose theirs, so the program speaks what its neighbours do.
class Translations {
public:
    using Environment = std::function<QString(const char *name)>;

    // The translation names to try, most wanted first: each entry of the
    // LANGUAGE list, then the first of LC_ALL, LC_MESSAGES and LANG that is
    // set, each as written ("de_AT") and as its language alone ("de"). A "C"
    // or "POSIX" locale, or English, ends the list: English is then wanted.
    static QStringList wantedNames(const Environment &environment);

    // Installs the translators of the first wanted language the program has
    // (its own texts and Qt's, for the standard dialogs' buttons) and
    // returns its name; an empty name when English stays.
    static QString install(QCoreApplication &application,
                           const Environment &environment = systemEnvironment());

    // Whether the program carries a translation of this name ("de", "pt_BR").
    static bool has(const QString &name);

    static Environment systemEnvironment();
};
