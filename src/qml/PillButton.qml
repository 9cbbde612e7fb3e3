import QtQuick
import Vocarta

// The program's call-to-action button: a full-width 52-point capsule with a
// display-font caption, an optional leading icon and a soft drop shadow.
// Everything it shows is given by the caller.
Item {
    id: pill

    property string label: ""
    property color background: Theme.yellow
    property color foreground: Theme.charcoal
    // Builds the leading icon; null for none.
    property Component icon: null
    // A capsule stroke centred on the edge, drawn over the button (callers' decoration).
    property color outlineColor: "transparent"
    property real outlineWidth: 0
    // What lies behind the button: a disabled button looks half transparent
    // over it, without letting its own shadow show through the capsule.
    property color backdrop: Theme.charcoal
    // What a screen reader calls the button; the caption unless the caller
    // says otherwise (while the caption gives way to a progress icon).
    property string accessibleName: label
    property string accessibleDescription: ""

    signal clicked()

    function activate() {
        if (enabled)
            clicked()
    }

    // The caption's colour as drawn; icons use it too.
    readonly property color contentColor: enabled ? foreground : Qt.tint(backdrop, faded(foreground))

    function faded(c) { return Qt.rgba(c.r, c.g, c.b, c.a * 0.5) }

    implicitWidth: 200
    implicitHeight: 52
    height: 52

    Accessible.role: Accessible.Button
    Accessible.name: accessibleName
    Accessible.description: accessibleDescription
    Accessible.focusable: true
    Accessible.onPressAction: activate()

    // Tab reaches it in reading order; Space and Return press it. A mouse
    // click never gives it focus, so only the keyboard shows the ring.
    activeFocusOnTab: true
    Keys.onSpacePressed: activate()
    Keys.onReturnPressed: activate()
    Keys.onEnterPressed: activate()

    // Black at 35 %, blur radius 8, 4 down. Drawn as nested capsules whose
    // opacities add up to a Gaussian fall-off, so it looks the same under every
    // scene graph (no shader effects needed).
    Item {
        id: shadow
        readonly property real sigma: 4
        readonly property real strength: 0.35
        readonly property int innermost: -4
        readonly property int outermost: 12
        readonly property var layerAlphas: {
            function erf(x) {
                // Abramowitz and Stegun 7.1.26: plenty for eight-bit alpha.
                const s = x < 0 ? -1 : 1
                x = Math.abs(x)
                const t = 1 / (1 + 0.3275911 * x)
                const y = 1 - (((((1.061405429 * t - 1.453152027) * t) + 1.421413741) * t
                                - 0.284496736) * t + 0.254829592) * t * Math.exp(-x * x)
                return s * y
            }
            function target(d) { // shadow alpha at distance d outside the capsule's edge
                return strength * 0.5 * (1 - erf(d / (sigma * Math.SQRT2)))
            }
            const alphas = []
            let outer = 1
            for (let g = outermost; g >= innermost; --g) {
                const remaining = 1 - target(g - 0.5)
                alphas.unshift(1 - remaining / outer)
                outer = remaining
            }
            return alphas
        }
        x: 0
        y: 4
        width: pill.width
        height: pill.height
        opacity: pill.enabled ? 1 : 0.5

        Repeater {
            model: shadow.layerAlphas.length
            Rectangle {
                readonly property int grow: shadow.innermost + index
                x: -grow
                y: -grow
                width: shadow.width + 2 * grow
                height: shadow.height + 2 * grow
                radius: height / 2
                color: Qt.rgba(0, 0, 0, shadow.layerAlphas[index])
            }
        }
    }

    Rectangle {
        id: capsule
        anchors.fill: parent
        radius: height / 2
        color: pill.enabled ? pill.background : Qt.tint(pill.backdrop, pill.faded(pill.background))
        opacity: pill.enabled && mouse.pressed && mouse.containsMouse ? 0.75 : 1

        Row {
            id: content
            anchors.centerIn: parent
            spacing: 10

            Loader {
                id: iconLoader
                anchors.verticalCenter: parent.verticalCenter
                active: pill.icon !== null
                visible: active
                sourceComponent: pill.icon
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                // The button itself carries the name.
                Accessible.ignored: true
                text: pill.label
                color: pill.contentColor
                font.family: Theme.displayFont
                font.pixelSize: 18
                font.letterSpacing: 1
            }
        }
    }

    Rectangle {
        visible: pill.outlineWidth > 0
        x: -pill.outlineWidth / 2
        y: -pill.outlineWidth / 2
        width: pill.width + pill.outlineWidth
        height: pill.height + pill.outlineWidth
        radius: height / 2
        color: "transparent"
        border.color: pill.outlineColor
        border.width: pill.outlineWidth
    }

    FocusRing {
        spread: pill.outlineWidth / 2 + 4
        radius: height / 2
    }

    MouseArea {
        id: mouse
        anchors.fill: parent
        enabled: pill.enabled
        onClicked: pill.clicked()
    }
}
