import QtQuick

// A collapsible section body, inset 28 left and right and 20 at the bottom.
// Opening and closing fades it while the rows below move.
Item {
    id: section
    property bool expanded: true
    property int duration: 220
    default property alias content: body.data
    property alias spacing: body.spacing

    property real openness: expanded ? 1 : 0
    Behavior on openness {
        NumberAnimation { duration: section.duration; easing.type: Easing.Bezier; easing.bezierCurve: [0.42, 0, 0.58, 1, 1, 1] }
    }

    implicitWidth: 420
    height: (body.implicitHeight + 20) * openness
    opacity: openness
    visible: openness > 0

    Column {
        id: body
        x: 28
        width: section.width - 56
    }
}
