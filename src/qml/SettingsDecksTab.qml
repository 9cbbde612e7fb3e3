import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vocarta

// Decks: progress while loading, "No decks found", or the list; the red error
// line under whichever shows. Clicking a row (or moving the list's selection)
// makes that deck active; the check mark follows the deck state.
Item {
    id: tab
    objectName: "decksTab"
    required property DeckState deckState
    // True while the tab is on screen; each showing makes sure the connection runs.
    property bool shown: false
    onShownChanged: if (shown) tab.deckState.loadLater()

    readonly property color secondary: Qt.rgba(palette.windowText.r, palette.windowText.g, palette.windowText.b, 0.55)
    readonly property DeckListModel decks: tab.deckState.deckList

    function moveSelection(step) {
        const deckId = tab.decks.idAfter(step)
        if (deckId !== "")
            tab.deckState.select(deckId)
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            BusyIndicator {
                objectName: "decksProgress"
                Accessible.name: qsTr("Loading decks...")
                anchors.centerIn: parent
                running: visible
                visible: tab.deckState.isLoading
            }

            ReadableText {
                objectName: "noDecks"
                anchors.centerIn: parent
                visible: !tab.deckState.isLoading && tab.decks.count === 0
                text: qsTr("No decks found")
                color: tab.secondary
                font.pixelSize: 13
            }

            ListView {
                id: list
                objectName: "decksList"
                anchors.fill: parent
                anchors.margins: 8
                clip: true
                visible: !tab.deckState.isLoading && tab.decks.count > 0
                model: tab.decks
                // The list's selection is the active deck: drawn on the active
                // row, and moved by the arrow keys through select(), never
                // through the view's own current index (a new model would
                // reset that and pick a deck nobody chose).
                currentIndex: -1
                keyNavigationEnabled: false
                focus: visible
                activeFocusOnTab: true
                Accessible.role: Accessible.List
                //: Screen reader name of the list of decks in the settings window.
                Accessible.name: qsTr("Decks")
                Keys.onUpPressed: tab.moveSelection(-1)
                Keys.onDownPressed: tab.moveSelection(1)

                delegate: Item {
                    id: row
                    required property string deckId
                    required property string name
                    required property string langFrom
                    required property string langTo
                    required property bool active
                    objectName: "deckRow_" + deckId
                    width: ListView.view.width
                    height: 44

                    // One choice of the active deck: the deck's name, its
                    // languages, and whether it is the active one.
                    Accessible.role: Accessible.ListItem
                    Accessible.name: row.name
                    Accessible.description: row.langFrom + " \u2192 " + row.langTo
                    Accessible.selectable: true
                    Accessible.selected: row.active
                    Accessible.onPressAction: tab.deckState.select(row.deckId)

                    Rectangle {
                        anchors.fill: parent
                        radius: 6
                        visible: row.active
                        color: Qt.rgba(palette.highlight.r, palette.highlight.g, palette.highlight.b, 0.18)
                    }

                    ColumnLayout {
                        anchors.left: parent.left
                        anchors.leftMargin: 10
                        anchors.right: mark.left
                        anchors.rightMargin: 8
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 2
                        Text {
                            Layout.fillWidth: true
                            textFormat: Text.PlainText
                            text: row.name
                            Accessible.ignored: true
                            elide: Text.ElideRight
                            color: palette.windowText
                            font.pixelSize: 13
                        }
                        Text {
                            Layout.fillWidth: true
                            textFormat: Text.PlainText
                            text: row.langFrom + " \u2192 " + row.langTo
                            Accessible.ignored: true
                            elide: Text.ElideRight
                            color: tab.secondary
                            font.pixelSize: 11
                        }
                    }
                    Rectangle {
                        id: mark
                        objectName: "checkMark"
                        visible: row.active
                        anchors.right: parent.right
                        anchors.rightMargin: 10
                        anchors.verticalCenter: parent.verticalCenter
                        width: 18
                        height: 18
                        radius: 9
                        color: Theme.blue
                        Text {
                            anchors.centerIn: parent
                            text: "\u2713"
                            Accessible.ignored: true
                            color: "white"
                            font.pixelSize: 12
                            font.bold: true
                        }
                    }
                    MouseArea {
                        objectName: "rowArea"
                        anchors.fill: parent
                        onClicked: tab.deckState.select(row.deckId)
                    }
                }
            }
        }

        ReadableText {
            objectName: "deckError"
            Layout.fillWidth: true
            Layout.margins: 8
            visible: tab.deckState.error !== undefined && tab.deckState.error !== ""
            textFormat: Text.PlainText
            text: tab.deckState.error ?? ""
            color: Theme.red
            font.pixelSize: 11
            wrapMode: Text.Wrap
        }
    }
}
