import QtQuick
import Vocarta

// Sets, changes or clears the global shortcut: click the field, press a
// combination. Reserved combinations are refused with a short message.
Column {
    id: recorder

    // The program's shortcut manager, shown and changed here.
    required property ShortcutManager shortcuts
    // The recorder's state; a fresh one by default, talking to the shortcut manager.
    property ShortcutRecorderModel model: ShortcutRecorderModel { shortcuts: recorder.shortcuts }
    // The key the desktop bound where it is not the recorded one: its own
    // settings win, so that is the key that works.
    readonly property string desktopTrigger: recorder.shortcuts ? recorder.shortcuts.desktopTrigger : ""
    readonly property bool showsClear: model.hasShortcut && !model.isRecording
    readonly property string displayState: model.isRecording ? "recording"
                                                              : (model.hasShortcut ? "set" : "empty")

    spacing: 6

    // Recording watches every key press of the program; once the recorder is
    // off screen it must not take keys meant for another window (the overlay).
    readonly property bool onScreen: visible && Window.window !== null && Window.window.visible
    onOnScreenChanged: if (!onScreen) model.stopRecording()
    // Keys are recorded from this window only.
    Binding { target: recorder.model; property: "window"; value: recorder.Window.window }

    readonly property var easeInOut: [0.42, 0, 0.58, 1, 1, 1]

    function focusField() {
        field.forceActiveFocus(Qt.TabFocusReason)
    }

    // The clear button goes away with the shortcut: the keyboard stays on the field.
    function clearFromKeyboard() {
        if (!showsClear)
            return
        model.clear()
        focusField()
    }

    Item {
        id: fieldRow
        width: recorder.width
        height: field.height

        Rectangle {
            id: field
            objectName: "shortcutField"
            width: recorder.showsClear ? fieldRow.width - clearButton.width - 10 : fieldRow.width
            height: Math.max(fieldText.implicitHeight, dot.height) + 24
            radius: 10
            color: recorder.model.isRecording ? Qt.rgba(1, 0.231, 0.188, 0.12) : Qt.rgba(1, 1, 1, 0.08)
            border.width: 1.5
            border.color: recorder.model.isRecording ? Qt.rgba(1, 0.231, 0.188, 0.45)
                                                     : Qt.rgba(1, 1, 1, 0.12)

            Behavior on color { ColorAnimation { duration: 150; easing.type: Easing.Bezier; easing.bezierCurve: recorder.easeInOut } }
            Behavior on border.color { ColorAnimation { duration: 150; easing.type: Easing.Bezier; easing.bezierCurve: recorder.easeInOut } }

            Accessible.role: Accessible.Button
            Accessible.name: fieldText.text
            Accessible.description: qsTr("The global shortcut that opens the Add Card overlay. Press Space to record a new one.")
            Accessible.focusable: true
            Accessible.onPressAction: recorder.model.clickField()

            // Space or Return starts recording; the next combination is the shortcut.
            activeFocusOnTab: true
            Keys.onSpacePressed: recorder.model.clickField()
            Keys.onReturnPressed: recorder.model.clickField()
            Keys.onEnterPressed: recorder.model.clickField()

            FocusRing {
                visible: field.activeFocus && !recorder.model.isRecording
                radius: 12
                border.color: Qt.rgba(1, 1, 1, 0.6)
                border.width: 1.5
            }

            Row {
                anchors.centerIn: parent
                width: Math.min(implicitWidth, field.width - 32)
                spacing: 8

                Rectangle {
                    id: dot
                    visible: recorder.model.isRecording
                    anchors.verticalCenter: parent.verticalCenter
                    width: 8
                    height: 8
                    radius: 4
                    color: Theme.red
                }
                Text {
                    id: fieldText
                    anchors.verticalCenter: parent.verticalCenter
                    // The field itself carries the text.
                    Accessible.ignored: true
                    elide: Text.ElideRight
                    textFormat: Text.PlainText
                    text: recorder.displayState === "recording" ? qsTr("Press shortcut keys...")
                        : recorder.displayState === "set" ? (recorder.desktopTrigger || recorder.model.displayString)
                        : qsTr("Click to set shortcut")
                    color: recorder.displayState === "recording" ? Qt.rgba(1, 1, 1, 0.55)
                         : recorder.displayState === "set" ? "white" : Qt.rgba(1, 1, 1, 0.45)
                    font.family: recorder.displayState === "set" ? "monospace" : Theme.textFont
                    font.pixelSize: recorder.displayState === "set" ? 16 : 14
                    font.weight: recorder.displayState === "set" ? Font.Medium : Font.Normal
                }
            }

            MouseArea {
                anchors.fill: parent
                onClicked: recorder.model.clickField()
            }
        }

        Image {
            id: clearButton
            objectName: "shortcutClearButton"
            anchors.right: parent.right
            anchors.verticalCenter: field.verticalCenter
            width: 18
            height: 18
            sourceSize: Qt.size(36, 36)
            source: "LinkCodeIconClear.svg"
            opacity: recorder.showsClear ? 0.3 : 0
            visible: opacity > 0
            Behavior on opacity { NumberAnimation { duration: 150; easing.type: Easing.Bezier; easing.bezierCurve: recorder.easeInOut } }

            Accessible.role: Accessible.Button
            Accessible.name: qsTr("Clear shortcut")
            Accessible.focusable: true
            Accessible.onPressAction: if (recorder.showsClear) recorder.model.clear()
            activeFocusOnTab: recorder.showsClear
            Keys.onSpacePressed: recorder.clearFromKeyboard()
            Keys.onReturnPressed: recorder.clearFromKeyboard()
            Keys.onEnterPressed: recorder.clearFromKeyboard()

            FocusRing {
                spread: 4
                radius: width / 2
                border.width: 1.5
            }

            MouseArea {
                anchors.fill: parent
                anchors.margins: -4
                enabled: recorder.showsClear
                onClicked: recorder.model.clear()
            }
        }
    }

    ReadableText {
        id: reservedMessage
        objectName: "reservedMessage"
        width: recorder.width
        text: qsTr("This shortcut is reserved by the system.")
        color: Theme.coral
        font.family: Theme.textFont
        font.pixelSize: 12
        wrapMode: Text.Wrap
        opacity: recorder.model.reservedError ? 1 : 0
        visible: opacity > 0
        Behavior on opacity { NumberAnimation { duration: 250; easing.type: Easing.Bezier; easing.bezierCurve: recorder.easeInOut } }
    }
}
