import QtQuick
import QtQuick.Layouts

// A rounded group of rows, as in a grouped settings form.
Rectangle {
    default property alias rows: column.data
    implicitHeight: column.implicitHeight + 12
    radius: 8
    color: Qt.rgba(palette.windowText.r, palette.windowText.g, palette.windowText.b, 0.05)
    border.color: Qt.rgba(palette.windowText.r, palette.windowText.g, palette.windowText.b, 0.12)

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 6
        anchors.leftMargin: 12
        anchors.rightMargin: 12
        spacing: 0
    }
}
