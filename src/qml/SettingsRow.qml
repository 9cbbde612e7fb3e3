import QtQuick
import QtQuick.Layouts

// One labelled row of a settings section: label on the left, value on the right.
Item {
    id: row
    property string label
    property string value
    property color valueColor: palette.windowText
    property string valueObjectName
    property bool separatorAbove: false

    Layout.fillWidth: true
    implicitHeight: 30

    Rectangle {
        visible: row.separatorAbove
        anchors.top: parent.top
        width: parent.width
        height: 1
        color: Qt.rgba(palette.windowText.r, palette.windowText.g, palette.windowText.b, 0.12)
    }
    ReadableText {
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        text: row.label
        color: palette.windowText
        font.pixelSize: 13
    }
    ReadableText {
        objectName: row.valueObjectName
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        width: Math.min(implicitWidth, row.width * 0.7)
        elide: Text.ElideMiddle
        horizontalAlignment: Text.AlignRight
        textFormat: Text.PlainText
        text: row.value
        color: row.valueColor
        font.pixelSize: 13
    }
}
