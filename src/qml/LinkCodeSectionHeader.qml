import QtQuick
import Vocarta

// A section's header row: symbol, title and a chevron that points down when
// open and right when closed. The whole row toggles the section.
Item {
    id: header
    property string title
    property url icon
    property size iconSize: Qt.size(11, 17)
    property bool expanded: true
    signal toggled()

    implicitWidth: 420
    implicitHeight: 18 + Math.max(titleText.implicitHeight, iconSlot.height) + 18

    Accessible.role: Accessible.Button
    Accessible.name: title
    Accessible.description: expanded ? qsTr("Expanded") : qsTr("Collapsed")
    Accessible.focusable: true
    Accessible.onPressAction: toggled()

    activeFocusOnTab: true
    Keys.onSpacePressed: toggled()
    Keys.onReturnPressed: toggled()
    Keys.onEnterPressed: toggled()

    // Shown only while the keyboard is on the row.
    FocusRing {
        anchors.leftMargin: 20
        anchors.rightMargin: 20
        anchors.topMargin: 6
        anchors.bottomMargin: 6
        radius: 8
        border.color: Qt.rgba(1, 1, 1, 0.6)
        border.width: 1.5
    }

    Item {
        id: iconSlot
        x: 28
        anchors.verticalCenter: parent.verticalCenter
        width: 18
        height: header.iconSize.height
        Image {
            anchors.centerIn: parent
            width: header.iconSize.width
            height: header.iconSize.height
            sourceSize: Qt.size(width * 2, height * 2)
            source: header.icon
        }
    }

    Text {
        id: titleText
        anchors.left: iconSlot.right
        anchors.leftMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        text: header.title
        // The row itself carries the title.
        Accessible.ignored: true
        color: "white"
        font.family: Theme.displayFont
        font.pixelSize: 18
        font.letterSpacing: 0.5
    }

    Image {
        id: chevron
        anchors.right: parent.right
        anchors.rightMargin: 28
        anchors.verticalCenter: parent.verticalCenter
        width: 11
        height: 7
        sourceSize: Qt.size(24, 16)
        source: "LinkCodeIconChevron.svg"
        opacity: 0.4
        rotation: header.expanded ? 0 : -90
        Behavior on rotation {
            NumberAnimation { duration: 220; easing.type: Easing.Bezier; easing.bezierCurve: [0.42, 0, 0.58, 1, 1, 1] }
        }
    }

    MouseArea {
        anchors.fill: parent
        onClicked: header.toggled()
    }
}
