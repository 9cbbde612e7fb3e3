import QtQuick
import Vocarta

// The add-card overlay: an invisible layer over the whole screen (a click on
// it closes the overlay) and the purple card in its middle, whose content
// follows the flow's phase. Every state lives in `content`, a fresh
// AddCardOverlayContent for each opening (bound while the overlay is closed).
Item {
    id: root
    // The window's owner: which overlay is open, and the start-up drawing.
    required property AddCardPanelController panel
    readonly property AddCardOverlayContent content: panel.content
    // Set while the window is drawn once off-screen at start-up.
    readonly property bool warmingUp: panel.warmingUp

    readonly property int phase: content ? content.phase : AddCardOverlayContent.Input
    // How many candidates the results phase shows.
    property int resultCount: 0

    // What a screen reader is told as the flow moves on: the number of
    // results, the chosen card, an error. Qt 6.4 has no announcement call, so
    // this is a notification whose name changes and which is shown anew for
    // each message (screen readers speak notifications as they appear).
    readonly property string announcement: {
        if (!content || !content.isVisible)
            return ""
        if (content.hasError)
            return content.error
        switch (phase) {
        case AddCardOverlayContent.Loading:
            return qsTr("Translating...")
        case AddCardOverlayContent.Results:
            //: Told to a screen reader when the candidates appear.
            return qsTr("%n result(s)", "", resultCount)
        case AddCardOverlayContent.Selected:
            //: Told to a screen reader when a candidate is chosen; %1 is the word, %2 its translation.
            return content.selected ? qsTr("Chosen card: %1, %2").arg(content.selected.word).arg(content.selected.translation) : ""
        }
        return ""
    }
    Item {
        id: announcer
        objectName: "announcement"
        // Not drawn: a point of the card, so that it counts as on screen.
        width: 1
        height: 1
        visible: false
        Accessible.role: Accessible.Notification
        Accessible.name: root.announcement
    }
    onAnnouncementChanged: {
        announcer.visible = false
        announcer.visible = root.announcement !== ""
    }

    // Spring parameters. A spring with response R and damping fraction Z has
    // stiffness k = (2*pi/R)^2 and damping c = 4*pi*Z/R (unit mass). Qt's
    // SpringAnimation steps every 16 ms as v += spring*d - damping*v and
    // x += v*0.016, i.e. it integrates with spring = k*0.016 and
    // damping = c*0.016.
    //   entrance (R 0.35 s, Z 0.65): k = 322.3, c = 23.34
    //   phase changes (R 0.3 s, Z 0.7): k = 438.6, c = 29.32
    readonly property real entranceSpring: 5.157
    readonly property real entranceDamping: 0.3734
    readonly property real phaseSpring: 7.018
    readonly property real phaseDamping: 0.4691

    onContentChanged: {
        enterAnimation.stop()
        exitAnimation.stop()
        cardFrame.presence = 0
        layoutSettled = false
        settleTimer.restart()
    }

    // The card's height follows its content with the phase spring, but not
    // while the first phase lays itself out.
    property bool layoutSettled: false
    Timer {
        id: settleTimer
        interval: 50
        onTriggered: root.layoutSettled = true
    }

    Connections {
        target: root.content
        function onIsVisibleChanged() {
            if (root.content.isVisible) {
                // The content may have been bound while the overlay was
                // closed: its opening lays itself out afresh all the same.
                root.layoutSettled = false
                settleTimer.restart()
                exitAnimation.stop()
                enterAnimation.restart()
            } else {
                enterAnimation.stop()
                exitAnimation.restart()
            }
        }
    }

    SpringAnimation {
        id: enterAnimation
        target: cardFrame
        property: "presence"
        to: 1
        spring: root.entranceSpring
        damping: root.entranceDamping
        epsilon: 0.001
    }
    NumberAnimation {
        id: exitAnimation
        target: cardFrame
        property: "presence"
        to: 0
        duration: 180
        // Ease-out, the standard cubic curve.
        easing.type: Easing.Bezier
        easing.bezierCurve: [0, 0, 0.58, 1, 1, 1]
    }

    // Hit layer: practically invisible, but it takes the clicks around the card.
    Rectangle {
        objectName: "hitLayer"
        anchors.fill: parent
        color: "black"
        opacity: 0.001
    }
    MouseArea {
        objectName: "outsideArea"
        anchors.fill: parent
        onClicked: if (root.content) root.content.performDismiss()
    }

    Item {
        id: cardFrame
        objectName: "cardFrame"
        // 0 hidden, 1 shown; the springs may carry it slightly past 1.
        property real presence: 0
        width: Math.min(640, root.width - 32)
        height: card.height
        anchors.centerIn: parent
        scale: 0.92 + 0.08 * presence
        opacity: root.warmingUp ? 1 : Math.max(0, Math.min(1, presence))

        CardShadow {
            x: -margin
            y: 16 - margin
            width: cardFrame.width + 2 * margin
            height: card.height + 2 * margin
            cornerRadius: 32
            blurRadius: 40
            color: Qt.rgba(0, 0, 0, 0.4)
        }

        Rectangle {
            id: card
            objectName: "card"
            width: parent.width
            height: cardContent.implicitHeight + 48
            radius: 32
            antialiasing: true
            color: Theme.purple
            clip: true

            Behavior on height {
                enabled: root.layoutSettled
                SpringAnimation { spring: root.phaseSpring; damping: root.phaseDamping; epsilon: 0.25 }
            }

            // Clicks on the card stay on the card.
            MouseArea { anchors.fill: parent }

            Column {
                id: cardContent
                x: 24
                y: 24
                width: card.width - 48
                spacing: 16

                Loader {
                    id: phaseLoader
                    objectName: "phaseLoader"
                    width: parent.width
                    focus: true
                    sourceComponent: {
                        switch (root.phase) {
                        case AddCardOverlayContent.Loading: return loadingPhase
                        case AddCardOverlayContent.Results: return resultsPhase
                        case AddCardOverlayContent.Selected: return selectedPhase
                        default: return inputPhase
                        }
                    }
                    onLoaded: {
                        if (root.layoutSettled) {
                            item.opacity = 0
                            phaseFade.restart()
                        }
                    }
                    NumberAnimation {
                        id: phaseFade
                        target: phaseLoader.item
                        property: "opacity"
                        to: 1
                        duration: 250
                        easing.type: Easing.Bezier
                        easing.bezierCurve: [0.42, 0, 0.58, 1, 1, 1]
                    }
                }

                ReadableText {
                    objectName: "noticeText"
                    width: parent.width
                    visible: root.content !== null && root.content.notice !== ""
                    textFormat: Text.PlainText
                    text: root.content ? root.content.notice : ""
                    font.family: Theme.textFont; font.pixelSize: 13
                    color: Qt.rgba(1, 1, 1, 0.7)
                    elide: Text.ElideRight
                }

                ReadableText {
                    objectName: "errorText"
                    width: parent.width
                    visible: root.content !== null && root.content.hasError
                    textFormat: Text.PlainText
                    text: root.content ? root.content.error : ""
                    font.family: Theme.textFont; font.pixelSize: 13
                    color: Qt.rgba(1, 0.231, 0.188, 0.9)
                    wrapMode: Text.Wrap
                }
            }
        }
    }

    Component {
        id: inputPhase
        Item {
            implicitHeight: field.implicitHeight + 16
            TextInput {
                id: field
                objectName: "wordField"
                Accessible.role: Accessible.EditableText
                Accessible.name: qsTr("Word or phrase")
                Accessible.description: qsTr("Add your word or phrase")
                y: 8
                width: parent.width
                focus: true
                text: root.content ? root.content.word : ""
                onTextEdited: if (root.content) root.content.word = text
                font.family: Theme.textFont; font.weight: Font.ExtraBold; font.pixelSize: 36
                color: "white"
                selectionColor: Qt.rgba(1, 1, 1, 0.3)
                selectedTextColor: "white"
                selectByMouse: true
                clip: true
                Keys.onReturnPressed: if (root.content) root.content.translate()
                Keys.onEnterPressed: if (root.content) root.content.translate()
                onActiveFocusChanged: if (root.content) root.content.inputFocused = activeFocus
                Connections {
                    target: root.content
                    function onInputFocusedChanged() {
                        if (root.content.inputFocused && !field.activeFocus)
                            field.forceActiveFocus()
                    }
                }
            }
            Text {
                objectName: "placeholder"
                y: 8
                width: parent.width
                visible: field.text.length === 0
                // The field's description says it to a screen reader.
                Accessible.ignored: true
                text: qsTr("Add your word or phrase")
                font: field.font
                color: Qt.rgba(1, 1, 1, 0.35)
                elide: Text.ElideRight
            }
        }
    }

    Component {
        id: loadingPhase
        Item {
            implicitHeight: 80
            ShufflingCards {
                objectName: "shufflingCards"
                anchors.centerIn: parent
            }
        }
    }

    Component {
        id: resultsPhase
        Column {
            spacing: 12
            Repeater {
                id: resultsRepeater
                model: root.content ? root.content.results : null
                onCountChanged: root.resultCount = count
                Component.onCompleted: root.resultCount = count
                Rectangle {
                    id: entry
                    required property int index
                    required property string label
                    readonly property bool highlighted: root.content !== null && root.content.highlightedIndex === entry.index
                    objectName: "resultEntry" + index
                    Accessible.role: Accessible.Button
                    Accessible.name: entry.label
                    //: Screen reader description of a candidate; %1 is its place in the list, %2 how many there are.
                    Accessible.description: qsTr("Result %1 of %2").arg(entry.index + 1).arg(resultsRepeater.count)
                    Accessible.selectable: true
                    Accessible.selected: entry.highlighted
                    Accessible.onPressAction: if (root.content) root.content.choose(entry.index)
                    width: parent ? parent.width : 0
                    height: label.implicitHeight + 16
                    radius: 20
                    antialiasing: true
                    color: "white"
                    // Only the keyboard moves this highlight; a mouse user never sees it.
                    border.width: entry.highlighted ? 4 : 0
                    border.color: Theme.addButtonYellow
                    Text {
                        id: label
                        objectName: "resultLabel"
                        Accessible.ignored: true
                        x: 8
                        y: 8
                        width: parent.width - 16
                        textFormat: Text.PlainText
                        text: entry.label
                        font.family: Theme.textFont; font.weight: Font.ExtraBold; font.pixelSize: 28
                        color: Theme.ink
                        wrapMode: Text.Wrap
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: if (root.content) root.content.choose(entry.index)
                    }
                }
            }
        }
    }

    Component {
        id: selectedPhase
        Column {
            spacing: 12
            visible: root.content !== null && root.content.selected !== undefined
            AddCardResultCard {
                objectName: "resultCard"
                width: parent.width
                height: implicitHeight
                result: root.content ? root.content.selected : undefined
                deck: root.content ? root.content.activeDeck : undefined
            }
            AddCardAddButton {
                objectName: "addButton"
                width: parent.width
                height: 80
                saving: root.content ? root.content.isSaving : false
                onClicked: if (root.content) root.content.save()
            }
        }
    }

    // Drawn only while warming up (behind a one-pixel window shape), so the
    // glyphs of the overlay's fonts are ready before the first opening.
    Column {
        visible: root.warmingUp
        Accessible.ignored: true
        Text { Accessible.ignored: true; text: "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"; font.family: Theme.textFont; font.weight: Font.ExtraBold; font.pixelSize: 36 }
        Text { Accessible.ignored: true; text: "ABCDEFGHIJKLMNOPQRSTUVWXYZ"; font.family: Theme.displayFont; font.pixelSize: 48 }
    }
}
