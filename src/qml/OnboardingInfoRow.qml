import QtQuick
import Vocarta

// One line of the info card: a symbol in a 22-point slot and a text.
Item {
    id: row
    property url icon
    property size iconSize: Qt.size(12, 19)
    property string text

    implicitHeight: Math.max(iconSlot.height, label.implicitHeight)

    Item {
        id: iconSlot
        width: 22
        height: row.iconSize.height
        anchors.verticalCenter: parent.verticalCenter
        Image {
            anchors.centerIn: parent
            width: row.iconSize.width
            height: row.iconSize.height
            sourceSize: Qt.size(width * 2, height * 2)
            source: row.icon
        }
    }
    ReadableText {
        id: label
        anchors.left: iconSlot.right
        anchors.leftMargin: 10
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        text: row.text
        wrapMode: Text.Wrap
        color: Qt.rgba(1, 1, 1, 0.85)
        font.family: Theme.textFont
        font.pixelSize: 14
    }
}
