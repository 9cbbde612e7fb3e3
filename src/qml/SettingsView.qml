import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vocarta

// Two tabs: the account (status, e-mail, sign out) and the decks (choose the
// active one). Everything shown comes from the session and the deck state.
Item {
    id: root
    implicitWidth: 420
    implicitHeight: 320

    required property Session auth
    required property DeckState deckState
    property QtObject startAtLogin: null
    property alias currentTab: tabs.currentIndex
    // Items stay visible in a hidden window: the window says when it is on screen.
    property bool windowShown: true

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        TabBar {
            id: tabs
            objectName: "tabs"
            Layout.fillWidth: true
            TabButton {
                objectName: "accountTabButton"
                //: Tab of the settings window: the sign-in status and account.
                text: "\u25CE  " + qsTr("Account")
                Accessible.name: qsTr("Account")
            }
            TabButton {
                objectName: "decksTabButton"
                //: Tab of the settings window: the list of decks to choose the active one from.
                text: "\u2630  " + qsTr("Decks")
                Accessible.name: qsTr("Decks")
            }
        }

        StackLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            currentIndex: tabs.currentIndex

            SettingsAccountTab {
                auth: root.auth
                startAtLogin: root.startAtLogin
                shown: tabs.currentIndex === 0 && root.visible && root.windowShown
            }
            SettingsDecksTab {
                deckState: root.deckState
                shown: tabs.currentIndex === 1 && root.visible && root.windowShown
            }
        }
    }
}
