import QtQuick
import Vocarta

// A circular progress indicator of eight fading bars, drawn with plain
// rectangles so it looks the same under every scene graph.
Item {
    id: spinner
    property color tint: Theme.ink
    implicitWidth: 32
    implicitHeight: 32

    Repeater {
        model: 8
        Rectangle {
            required property int index
            width: spinner.width * 0.11
            height: spinner.height * 0.28
            radius: width / 2
            antialiasing: true
            color: spinner.tint
            opacity: 0.2 + 0.8 * (index / 7)
            x: (spinner.width - width) / 2
            y: 0
            transform: Rotation {
                origin.x: width / 2
                origin.y: spinner.height / 2
                angle: index * 45
            }
        }
    }

    NumberAnimation on rotation {
        from: 0; to: 360; duration: 1000
        loops: Animation.Infinite
        running: spinner.visible
    }
}
