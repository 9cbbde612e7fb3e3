import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vocarta

// Account: a grouped form of the sign-in status, the e-mail, Sign Out, and
// whether the program starts at login.
Item {
    id: tab
    objectName: "accountTab"
    required property Session auth
    // Its `enabled` says whether the program starts at login; null hides the switch.
    property QtObject startAtLogin: null
    property bool shown: true

    // The desktop's own settings can change it meanwhile: read it on every showing.
    onShownChanged: if (shown && startAtLogin) startAtLogin.refresh()

    readonly property color secondary: Qt.rgba(palette.windowText.r, palette.windowText.g, palette.windowText.b, 0.55)

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 20
        spacing: 14

        SettingsSection {
            Layout.fillWidth: true
            SettingsRow {
                //: Label of the sign-in status row in the settings window.
                label: qsTr("Status")
                value: tab.auth.isAuthenticated ? qsTr("Signed in") : qsTr("Not signed in")
                valueColor: tab.auth.isAuthenticated ? Theme.green : tab.secondary
                valueObjectName: "statusValue"
            }
            SettingsRow {
                objectName: "accountRow"
                visible: tab.auth.userEmail !== undefined && tab.auth.userEmail !== ""
                //: Label of the row that shows the e-mail address of the signed-in account.
                label: qsTr("Account")
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
                text: qsTr("Sign Out")
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

        SettingsSection {
            objectName: "startAtLoginSection"
            Layout.fillWidth: true
            visible: tab.startAtLogin !== null
            Item {
                Layout.fillWidth: true
                implicitHeight: Math.max(30, startAtLoginSwitch.implicitHeight)
                ReadableText {
                    anchors.left: parent.left
                    anchors.verticalCenter: parent.verticalCenter
                    text: qsTr("Start at login")
                    color: palette.windowText
                    font.pixelSize: 13
                }
                Switch {
                    id: startAtLoginSwitch
                    objectName: "startAtLoginSwitch"
                    Accessible.name: qsTr("Start at login")
                    anchors.right: parent.right
                    anchors.rightMargin: -rightPadding
                    anchors.verticalCenter: parent.verticalCenter
                    checked: tab.startAtLogin ? tab.startAtLogin.enabled : false
                    onToggled: {
                        tab.startAtLogin.setEnabled(checked)
                        // Shows what holds once the desktop has answered.
                        checked = Qt.binding(() => tab.startAtLogin ? tab.startAtLogin.enabled : false)
                    }
                }
            }
        }

        Item { Layout.fillHeight: true }
    }
}
