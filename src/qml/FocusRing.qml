import QtQuick

// The ring around the item the keyboard is on. A click gives none of the
// program's own buttons focus, so only keyboard users ever see it.
Rectangle {
    objectName: "focusRing"
    property Item target: parent
    // How far the ring stands outside the item (negative: inside).
    property real spread: 3

    visible: target !== null && target.activeFocus
    anchors.fill: parent
    anchors.margins: -spread
    color: "transparent"
    border.color: "white"
    border.width: 2
}
