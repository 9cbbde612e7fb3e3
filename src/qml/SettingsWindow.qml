import QtQuick
import QtQuick.Window
import Vocarta

// The settings window, opened with Ctrl+, or "vocarta-menubar --preferences".
Window {
    id: window
    title: qsTr("Vocarta Menubar Settings")
    width: 420
    height: 320
    minimumWidth: 420
    maximumWidth: 420
    minimumHeight: 320
    maximumHeight: 320
    color: view.palette.window

    required property Session auth
    required property DeckState deckState
    property QtObject startAtLogin: null

    SettingsView {
        id: view
        anchors.fill: parent
        auth: window.auth
        deckState: window.deckState
        startAtLogin: window.startAtLogin
        windowShown: window.visible
    }
}
