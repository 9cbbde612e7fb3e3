import QtQuick
import Vocarta

// The content of the sign-in window: the info page, then the link-code page.
// Which page shows follows the session; NEXT moves on by hand. Pages arrive
// from the trailing edge and leave toward the leading edge.
Rectangle {
    id: onboarding

    // The session: signed in or not, a sign-in under way, its requests.
    required property Session auth
    required property ShortcutManager shortcuts
    // Where the phone app can be downloaded (a build setting).
    required property url downloadPageUrl
    readonly property bool signedIn: auth !== null && auth.isAuthenticated
    property int page: 0
    readonly property var easeInOut: [0.42, 0, 0.58, 1, 1, 1]

    width: 420
    height: 525
    color: Theme.purple
    clip: true

    function loaderOf(p) { return p === 0 ? infoLoader : linkLoader }

    // Shows page p; a page that comes is made anew.
    function goTo(p, animated) {
        slide.complete()
        const incoming = loaderOf(p)
        const outgoing = loaderOf(p === 0 ? 1 : 0)
        page = p
        if (!incoming.active)
            incoming.active = true
        if (!animated || !outgoing.active) {
            incoming.x = 0
            outgoing.active = false
            return
        }
        incoming.x = width
        outgoing.x = 0
        slideIn.target = incoming
        slideOut.target = outgoing
        slide.leaving = outgoing
        slide.start()
    }

    // Coming on screen: the page the session calls for, without a slide.
    function present() {
        slide.complete()
        infoLoader.active = false
        linkLoader.active = false
        goTo(signedIn ? 1 : 0, false)
    }

    Component.onCompleted: present()
    onSignedInChanged: {
        const target = signedIn ? 1 : 0
        if (target !== page)
            goTo(target, true)
    }

    // Closing the window and opening it again starts over.
    property bool closedSincePresented: false
    Connections {
        target: onboarding.Window.window
        function onVisibleChanged() {
            if (!onboarding.Window.window.visible) {
                onboarding.closedSincePresented = true
            } else if (onboarding.closedSincePresented) {
                onboarding.closedSincePresented = false
                onboarding.present()
            }
        }
    }

    ParallelAnimation {
        id: slide
        property Item leaving: null
        NumberAnimation {
            id: slideIn
            property: "x"
            to: 0
            duration: 300
            easing.type: Easing.Bezier
            easing.bezierCurve: onboarding.easeInOut
        }
        NumberAnimation {
            id: slideOut
            property: "x"
            to: -onboarding.width
            duration: 300
            easing.type: Easing.Bezier
            easing.bezierCurve: onboarding.easeInOut
        }
        onFinished: {
            if (leaving)
                leaving.active = false
            leaving = null
        }
    }

    Loader {
        id: infoLoader
        objectName: "infoPage"
        width: onboarding.width
        height: onboarding.height
        active: false
        sourceComponent: OnboardingInfoPage {
            onNext: onboarding.goTo(1, true)
            onDownloadRequested: Qt.openUrlExternally(onboarding.downloadPageUrl)
        }
    }

    Loader {
        id: linkLoader
        objectName: "linkCodePage"
        width: onboarding.width
        height: onboarding.height
        active: false
        sourceComponent: LinkCodeView {
            auth: onboarding.auth
            shortcuts: onboarding.shortcuts
        }
    }
}
