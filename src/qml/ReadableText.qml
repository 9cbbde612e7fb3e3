import QtQuick

// A text a screen reader reads where it stands. Qt 6.4 leaves plain Text
// items out of the accessibility tree; what the page says to the eye it
// says through this to the ear too.
Text {
    Accessible.role: Accessible.StaticText
    Accessible.name: text
}
