import QtQuick
import Vocarta

// The card fan shown while a translation is on its way: four cards that swing
// from a tight stack to a spread fan and back, for as long as it is shown.
Item {
    id: fan
    implicitWidth: 90
    implicitHeight: 60
    width: implicitWidth
    height: implicitHeight

    // True once displayed: the cards head for the fanned positions. `progress`
    // is where they are between rest (0) and fanned (1).
    property bool fanned: false
    property real progress: 0

    readonly property var rotations: [-22, -8, 8, 22]
    readonly property var xOffsets: [-26, -9, 9, 26]
    readonly property var restRotations: [-6, -2, 2, 6]
    readonly property var restXOffsets: [-3, -1, 1, 3]
    readonly property var colors: Theme.fanColors

    Component.onCompleted: fanned = true

    // Ease-in-out legs of 0.7 s, out and back, forever.
    SequentialAnimation {
        running: fan.fanned && fan.visible
        loops: Animation.Infinite
        NumberAnimation {
            target: fan; property: "progress"; from: 0; to: 1; duration: 700
            easing.type: Easing.Bezier; easing.bezierCurve: [0.42, 0, 0.58, 1, 1, 1]
        }
        NumberAnimation {
            target: fan; property: "progress"; from: 1; to: 0; duration: 700
            easing.type: Easing.Bezier; easing.bezierCurve: [0.42, 0, 0.58, 1, 1, 1]
        }
    }

    Repeater {
        model: 4
        Rectangle {
            required property int index
            width: 28
            height: 40
            radius: 5
            antialiasing: true
            color: fan.colors[index]
            // Cards share the centre; each one is shifted sideways only.
            x: (fan.width - width) / 2 + fan.restXOffsets[index]
               + (fan.xOffsets[index] - fan.restXOffsets[index]) * fan.progress
            y: (fan.height - height) / 2
            transform: Rotation {
                // About the middle of the bottom edge; positive turns clockwise.
                origin.x: 14
                origin.y: 40
                angle: fan.restRotations[index]
                       + (fan.rotations[index] - fan.restRotations[index]) * fan.progress
            }
        }
    }
}
