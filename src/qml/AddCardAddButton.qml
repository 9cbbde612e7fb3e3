import QtQuick
import Vocarta

// The "ADD" button: a yellow rounded slab with a darker outline; while the
// card is being saved it shows a progress indicator and takes no clicks.
Item {
    id: button
    property bool saving: false
    signal clicked()

    implicitHeight: 80

    Accessible.role: Accessible.Button
    Accessible.name: saving ? qsTr("Saving...") : qsTr("ADD")
    Accessible.description: qsTr("Adds the card to the active deck.")
    Accessible.onPressAction: if (!saving) clicked()

    Rectangle {
        anchors.fill: parent
        radius: 20
        antialiasing: true
        color: Theme.addButtonYellow
    }
    // The outline straddles the shape's edge, half inside and half outside.
    Rectangle {
        anchors.fill: parent
        anchors.margins: -4
        radius: 24
        antialiasing: true
        color: "transparent"
        border.width: 8
        border.color: Theme.gold
    }
    Text {
        objectName: "addLabel"
        anchors.centerIn: parent
        visible: !button.saving
        // The button itself carries the name.
        Accessible.ignored: true
        //: The button that saves the chosen translation as a card in the active deck; a short verb in capitals.
        text: qsTr("ADD")
        font.family: Theme.displayFont; font.pixelSize: 48
        color: Theme.ink
    }
    AddCardSpinner {
        objectName: "addSpinner"
        anchors.centerIn: parent
        visible: button.saving
        width: 28; height: 28
        tint: Theme.ink
    }
    MouseArea {
        objectName: "addButtonArea"
        anchors.fill: parent
        enabled: !button.saving
        onClicked: button.clicked()
    }
}
