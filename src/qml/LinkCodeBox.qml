import QtQuick
import Vocarta

// One of the eight code boxes: a rounded cell with a borderless one-line field.
// Edits go to the page's rules; a click anywhere on the cell runs the tap rule.
Rectangle {
    id: box
    property int index: 0
    // The page's rules. Not a required property: the box is a repeater's
    // delegate that reads `modelData`.
    property LinkCodeModel model: null
    property bool editable: true
    readonly property alias field: input

    width: 39
    height: 42
    radius: 10
    color: model && model.focusedIndex === index ? Qt.rgba(1, 1, 1, 0.15) : Qt.rgba(1, 1, 1, 0.10)

    TextInput {
        id: input
        objectName: "codeBox" + box.index
        anchors.centerIn: parent
        width: 33
        horizontalAlignment: TextInput.AlignHCenter
        verticalAlignment: TextInput.AlignVCenter
        clip: true
        color: "white"
        selectionColor: Qt.rgba(1, 1, 1, 0.3)
        font.family: Theme.textFont
        font.pixelSize: 20
        readOnly: !box.editable
        activeFocusOnTab: box.editable
        text: box.model ? box.model.chars[box.index] : ""
        //: Screen reader name of one of the eight boxes of the link code; %1 is its position, 1 to 8.
        Accessible.name: qsTr("Code character %1").arg(box.index + 1)

        onTextEdited: box.model.changeText(box.index, text)
        onActiveFocusChanged: if (activeFocus) box.model.focusedIndex = box.index
    }

    MouseArea {
        anchors.fill: parent
        enabled: box.editable
        onPressed: (mouse) => {
            box.model.tapBox(box.index)
            input.forceActiveFocus()
            mouse.accepted = true
        }
    }
}
