import QtQuick
import QtQuick.Window
import Vocarta

// The "auth" window: sign-in and first-run pages, fixed at 420 x 525.
Window {
    id: window
    title: qsTr("Vocarta Settings")
    width: 420
    height: 525
    minimumWidth: 420
    maximumWidth: 420
    minimumHeight: 525
    maximumHeight: 525
    color: Theme.purple

    // The session: signed in or not, a sign-in under way, its requests.
    required property Session auth
    required property ShortcutManager shortcuts
    // Where the phone app can be downloaded (a build setting).
    required property url downloadPageUrl

    OnboardingView {
        objectName: "authContent"
        anchors.fill: parent
        focus: true
        auth: window.auth
        shortcuts: window.shortcuts
        downloadPageUrl: window.downloadPageUrl
    }
}
