import QtQuick
import QtQuick.Window

// The "auth" window: sign-in and first-run pages, fixed at 420 x 525.
Window {
    id: window
    title: "Vocarta Settings"
    width: 420
    height: 525
    minimumWidth: 420
    maximumWidth: 420
    minimumHeight: 525
    maximumHeight: 525
    color: "#5F35BF"

    // The onboarding pages when this build has them, else an empty page.
    property url contentSource

    Loader {
        id: content
        objectName: "authContent"
        anchors.fill: parent
        source: window.contentSource
        focus: true
    }
}
