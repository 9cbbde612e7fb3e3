import QtQuick
import Vocarta

// A small indeterminate progress spinner: eight spokes fading around a circle.
Item {
    id: spinner
    property color color: Theme.charcoal
    property bool running: visible

    implicitWidth: 16
    implicitHeight: 16

    Item {
        id: wheel
        anchors.fill: parent

        Repeater {
            model: 8
            Rectangle {
                x: (spinner.width - width) / 2
                y: 0
                width: 2
                height: spinner.height * 0.3
                radius: 1
                color: spinner.color
                opacity: 0.2 + 0.8 * (index / 7)
                transform: Rotation {
                    origin.x: 1
                    origin.y: spinner.height / 2
                    angle: index * 45
                }
            }
        }

        RotationAnimator on rotation {
            from: 0
            to: 360
            duration: 800
            loops: Animation.Infinite
            running: spinner.running
        }
    }
}
