import QtQuick
import Vocarta

// The link-code page: eight boxes for the code the phone app shows, CONNECT,
// the linked state with RELINK, and the global shortcut.
Rectangle {
    id: page

    // The session: signed in or not, a sign-in under way, its requests.
    required property Session auth
    required property ShortcutManager shortcuts
    // The page's state and rules; created with the page, bound to the session.
    property LinkCodeModel model: LinkCodeModel { auth: page.auth }
    readonly property var easeInOut: [0.42, 0, 0.58, 1, 1, 1]
    property var boxes: []

    implicitWidth: 420
    implicitHeight: 525
    color: Theme.charcoal

    function focusBox(index) {
        if (index >= 0 && index < boxes.length && boxes[index])
            boxes[index].field.forceActiveFocus()
    }
    // Called when the page comes on screen.
    function shown() {
        model.shown()
        focusBox(model.focusedIndex)
    }

    Component.onCompleted: shown()

    Connections {
        target: page.model
        function onFocusedIndexChanged() { page.focusBox(page.model.focusedIndex) }
        // CONNECT goes away once linked: a keyboard user goes on where the
        // page does, at the shortcut (a mouse user's page stays as it was).
        function onAuthStateChanged() {
            if (page.model.isAuthenticated && page.connectedFromKeyboard) {
                page.connectedFromKeyboard = false
                shortcutRecorder.focusField()
            }
        }
    }
    property bool connectedFromKeyboard: false

    Column {
        width: page.width

        LinkCodeSectionHeader {
            objectName: "connectHeader"
            width: parent.width
            //: Section title in capitals: linking this computer to the phone app.
            title: qsTr("CONNECT TO VOCARTA")
            icon: "LinkCodeIconPhone.svg"
            iconSize: Qt.size(11, 17)
            expanded: page.model.connectExpanded
            onToggled: page.model.toggleConnect()
        }

        LinkCodeSection {
            id: connectSection
            objectName: "connectSection"
            width: parent.width
            expanded: page.model.connectExpanded
            duration: page.model.expansionDuration
            spacing: 16

            // Signed out: instruction, boxes, error, CONNECT.
            ReadableText {
                visible: !page.model.isAuthenticated
                width: parent.width
                text: qsTr("Open the iOS app → Settings → Mac App and enter the code below.")
                wrapMode: Text.Wrap
                color: Qt.rgba(1, 1, 1, 0.75)
                font.family: Theme.textFont
                font.pixelSize: 13
            }

            // Wider than the inset column (eight boxes, separator, spacing):
            // centred on the page so it overhangs both insets equally.
            Item {
                visible: !page.model.isAuthenticated
                width: parent.width
                height: boxRow.height
                Row {
                    id: boxRow
                    x: (parent.width - width) / 2
                    spacing: 6
                    Repeater {
                        model: 4
                        LinkCodeBox {
                            id: firstHalfBox
                            index: modelData
                            model: page.model
                            editable: !page.model.isLoading
                            Component.onCompleted: page.boxes[index] = firstHalfBox
                        }
                    }
                    Item {
                        width: 18
                        height: 42
                        Text {
                            anchors.centerIn: parent
                            // Only a visual break in the code.
                            Accessible.ignored: true
                            text: "\u2013"
                            color: Qt.rgba(1, 1, 1, 0.35)
                            font.family: Theme.textFont
                            font.pixelSize: 20
                        }
                    }
                    Repeater {
                        model: 4
                        LinkCodeBox {
                            id: secondHalfBox
                            index: modelData + 4
                            model: page.model
                            editable: !page.model.isLoading
                            Component.onCompleted: page.boxes[index] = secondHalfBox
                        }
                    }
                }
            }

            ReadableText {
                objectName: "errorText"
                visible: !page.model.isAuthenticated && page.model.error !== ""
                width: parent.width
                textFormat: Text.PlainText
                text: page.model.error
                wrapMode: Text.Wrap
                color: Theme.coral
                font.family: Theme.textFont
                font.pixelSize: 13
            }

            PillButton {
                id: connectButton
                objectName: "connectButton"
                visible: !page.model.isAuthenticated
                width: parent.width
                //: Button in capitals that sends the typed link code.
                label: page.model.isLoading ? "" : qsTr("CONNECT")
                accessibleName: page.model.isLoading ? qsTr("Connecting...") : qsTr("CONNECT")
                background: Theme.yellow
                foreground: Theme.charcoal
                backdrop: page.color
                outlineColor: Theme.gold
                outlineWidth: 5
                enabled: page.model.canConnect
                icon: page.model.isLoading ? spinnerComponent : null
                onClicked: {
                    page.connectedFromKeyboard = activeFocus
                    page.model.connect()
                }

                Component {
                    id: spinnerComponent
                    LinkCodeSpinner { color: connectButton.contentColor }
                }
            }

            // Signed in: the linked state and RELINK.
            Item {
                visible: page.model.isAuthenticated
                width: parent.width
                height: Math.max(checkIcon.height, linkedTexts.height)
                Image {
                    id: checkIcon
                    anchors.verticalCenter: parent.verticalCenter
                    width: 26
                    height: 26
                    sourceSize: Qt.size(52, 52)
                    source: "LinkCodeIconCheckCircle.svg"
                }
                Column {
                    id: linkedTexts
                    anchors.left: checkIcon.right
                    anchors.leftMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    ReadableText {
                        //: Shown in capitals once this computer is linked to the phone app.
                        text: qsTr("CONNECTED!")
                        color: "white"
                        font.family: Theme.displayFont
                        font.pixelSize: 20
                    }
                    ReadableText {
                        text: qsTr("Your computer is linked to the iOS app.")
                        color: Qt.rgba(1, 1, 1, 0.65)
                        font.family: Theme.textFont
                        font.pixelSize: 13
                    }
                }
            }

            Rectangle {
                id: relinkButton
                objectName: "relinkButton"
                visible: page.model.isAuthenticated
                width: relinkContent.implicitWidth + 28
                height: relinkContent.implicitHeight + 16
                radius: 8
                color: Qt.rgba(1, 1, 1, relinkMouse.pressed ? 0.14 : 0.08)
                border.width: 1
                border.color: Qt.rgba(1, 1, 1, 0.15)
                Accessible.role: Accessible.Button
                //: Button in capitals: sign out and link this computer again with a new code.
                Accessible.name: qsTr("RELINK")
                Accessible.description: qsTr("Signs out and links this computer again with a new code.")
                Accessible.focusable: true
                Accessible.onPressAction: page.model.relink()
                activeFocusOnTab: true
                Keys.onSpacePressed: page.model.relink()
                Keys.onReturnPressed: page.model.relink()
                Keys.onEnterPressed: page.model.relink()

                FocusRing { radius: 10 }

                Row {
                    id: relinkContent
                    anchors.centerIn: parent
                    spacing: 6
                    opacity: 0.75
                    Image {
                        anchors.verticalCenter: parent.verticalCenter
                        width: 13
                        height: 13
                        sourceSize: Qt.size(28, 28)
                        source: "LinkCodeIconRelink.svg"
                    }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        Accessible.ignored: true
                        text: qsTr("RELINK")
                        color: "white"
                        font.family: Theme.displayFont
                        font.pixelSize: 16
                        font.letterSpacing: 0.5
                    }
                }
                MouseArea {
                    id: relinkMouse
                    anchors.fill: parent
                    onClicked: page.model.relink()
                }
            }
        }

        Rectangle {
            width: parent.width
            height: 1
            color: Qt.rgba(1, 1, 1, 0.08)
        }

        LinkCodeSectionHeader {
            objectName: "shortcutHeader"
            width: parent.width
            //: Section title in capitals: the global keyboard shortcut that opens the Add Card overlay.
            title: qsTr("ADD CARD SHORTCUT")
            icon: "LinkCodeIconKeyboard.svg"
            iconSize: Qt.size(19, 13)
            expanded: page.model.shortcutExpanded
            onToggled: page.model.toggleShortcut()
        }

        LinkCodeSection {
            id: shortcutSection
            objectName: "shortcutSection"
            width: parent.width
            expanded: page.model.shortcutExpanded
            duration: page.model.expansionDuration
            spacing: 12

            // Where no recorder can work (no global shortcuts on this desktop)
            // the section says what to do instead.
            readonly property bool canRecord: !page.shortcuts || page.shortcuts.canRecord

            ReadableText {
                width: parent.width
                visible: shortcutSection.canRecord
                text: qsTr("Set a global keyboard shortcut to open the Add Card overlay from anywhere on your computer.")
                wrapMode: Text.Wrap
                color: Qt.rgba(1, 1, 1, 0.65)
                font.family: Theme.textFont
                font.pixelSize: 13
            }

            ShortcutRecorderView {
                id: shortcutRecorder
                objectName: "shortcutRecorder"
                width: parent.width
                shortcuts: page.shortcuts
                visible: shortcutSection.canRecord
            }

            ReadableText {
                objectName: "shortcutProblem"
                width: parent.width
                text: page.shortcuts ? page.shortcuts.hotKeyProblem : ""
                visible: text !== ""
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                color: Qt.rgba(1, 1, 1, 0.65)
                font.family: Theme.textFont
                font.pixelSize: 13
            }
        }
    }
}
