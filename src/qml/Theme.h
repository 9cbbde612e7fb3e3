#pragma once

#include "qml/Color.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

// The views' palette and font families: the one place a colour or a font name
// of the program's own look is written. Colours are read by Color::hex, the
// way their hexadecimal texts are meant; Qt's colour parser would take an
// eight-digit text as alpha first and a three-digit one as a short form.
class Theme : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QColor purple MEMBER purple CONSTANT)
    Q_PROPERTY(QColor charcoal MEMBER charcoal CONSTANT)
    Q_PROPERTY(QColor yellow MEMBER yellow CONSTANT)
    Q_PROPERTY(QColor addButtonYellow MEMBER addButtonYellow CONSTANT)
    Q_PROPERTY(QColor gold MEMBER gold CONSTANT)
    Q_PROPERTY(QColor ink MEMBER ink CONSTANT)
    Q_PROPERTY(QColor exampleText MEMBER exampleText CONSTANT)
    Q_PROPERTY(QColor secondaryGrey MEMBER secondaryGrey CONSTANT)
    Q_PROPERTY(QColor red MEMBER red CONSTANT)
    Q_PROPERTY(QColor coral MEMBER coral CONSTANT)
    Q_PROPERTY(QColor green MEMBER green CONSTANT)
    Q_PROPERTY(QColor blue MEMBER blue CONSTANT)
    Q_PROPERTY(QVariantList fanColors MEMBER fanColors CONSTANT)
    Q_PROPERTY(QString displayFont MEMBER displayFont CONSTANT)
    Q_PROPERTY(QString textFont MEMBER textFont CONSTANT)

public:
    using QObject::QObject;

    // The add-card card, the sign-in window and the onboarding pages.
    const QColor purple = Color::hex(u"#5F35BF");
    // The link-code page, and captions on the yellow buttons.
    const QColor charcoal = Color::hex(u"#312E35");
    // Call-to-action buttons and section symbols.
    const QColor yellow = Color::hex(u"#EAD153");
    // The overlay's "ADD" button, a shade apart from the other yellow buttons.
    const QColor addButtonYellow = Color::hex(u"#EAD152");
    // The outline around the yellow buttons.
    const QColor gold = Color::hex(u"#ECBF2E");
    // Text on the overlay's white cards, and the category badge.
    const QColor ink = Color::hex(u"#1A1A1A");
    const QColor exampleText = Color::hex(u"#333333");
    const QColor secondaryGrey = Color::hex(u"#8E8E93");
    // Destructive actions, failures in the settings, the recording dot.
    const QColor red = Color::hex(u"#FF3B30");
    // Failure texts on the dark and purple pages.
    const QColor coral = Color::hex(u"#FF6B6B");
    const QColor green = Color::hex(u"#34C759");
    const QColor blue = Color::hex(u"#007AFF");
    // The four cards of the waiting fan, back to front.
    const QVariantList fanColors{Color::hex(u"#6B3BBF"), Color::hex(u"#804FD1"), Color::hex(u"#9E70E6"),
                                 Color::hex(u"#FFFFFF")};

    // Titles and button captions.
    const QString displayFont = QStringLiteral("Staatliches");
    // Running text, in its regular and extra-bold weights.
    const QString textFont = QStringLiteral("Nunito");
};
