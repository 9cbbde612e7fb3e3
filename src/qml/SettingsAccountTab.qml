import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vocarta

// Account: a grouped form of the sign-in status, the e-mail, and Sign Out.
Item {
    id: tab
    objectName: "accountTab"
    required property QtObject auth

    readonly property color secondary: Qt.rgba(palette.windowText.r, palette.windowText.g, palette.windowText.b, 0.55)

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 20
        spacing: 14

        SettingsSection {
            Layout.fillWidth: true
            SettingsRow {
                label: "Status"
                value: tab.auth.isAuthenticated ? "Signed in" : "Not signed in"
                valueColor: tab.auth.isAuthenticated ? Theme.green : tab.secondary
                valueObjectName: "statusValue"
            }
            SettingsRow {
                objectName: "accountRow"
                visible: tab.auth.userEmail !== undefined && tab.auth.userEmail !== ""
                label: "Account"
                value: tab.auth.userEmail ?? ""
                valueColor: tab.secondary
                valueObjectName: "accountValue"
                separatorAbove: true
            }
        }

        SettingsSection {
            objectName: "signOutSection"
            Layout.fillWidth: true
            visible: tab.auth.isAuthenticated
            Button {
                objectName: "signOutButton"
                Layout.fillWidth: true
                flat: true
                text: "Sign Out"
                contentItem: Text {
                    text: parent.text
                    font: parent.font
                    color: Theme.red
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }
                onClicked: tab.auth.signOut()
            }
        }

        Item { Layout.fillHeight: true }
    }
}
