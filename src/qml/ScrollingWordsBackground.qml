import QtQuick
import Vocarta

// Three tilted bands of large words drifting left forever, single words
// brightening and fading at random moments. Decoration only: it draws and
// takes no input. Every motion is a declarative animation; nothing runs while
// the view is not on screen.
Item {
    id: background

    // False while the page or its window is hidden: every animation pauses.
    property bool active: visible && Window.window !== null && Window.window.visible

    readonly property var wordRows: [
        { words: ["apple", "journey", "river", "sunshine", "mountain", "horizon", "wonder", "twilight"],
          duration: 136.348 },
        { words: ["bonjour", "soleil", "lumière", "château", "voyage", "liberté", "rêve", "papillon"],
          duration: 98.719 },
        { words: ["language", "culture", "wisdom", "growth", "learn", "explore", "discover", "evolve"],
          duration: 182.25 }
    ]
    readonly property real rowHeight: 55
    readonly property real wordSpacing: 28

    implicitWidth: 420
    implicitHeight: rowHeight * wordRows.length
    clip: true

    // One beat for every moving part: the bands and the pulsing words show
    // their animated values only on its ticks, 30 a second, so they change in
    // the same frames instead of each asking for frames of its own.
    readonly property int ticksPerSecond: 30
    property real clock: 0
    readonly property int tick: Math.floor(clock * ticksPerSecond)
    NumberAnimation on clock {
        from: 0; to: 3600; duration: 3600 * 1000
        loops: Animation.Infinite
        paused: running && !background.active
    }

    // A slot of the band: it keeps its place in the band's layout at all
    // times, but its text exists only while the slot is on screen, so the
    // scene holds a handful of words instead of every copy of every row.
    component PulsingWord: Item {
        id: word
        property string text
        property bool onScreen: true
        property bool active: true

        // The animated value; the drawn opacity follows it in steps of 1/64
        // (invisible at these opacities), on the background's beat.
        property real level: 0.1
        readonly property real steppedLevel: Math.min(0.55, Math.max(0.1, Math.round(level * 64) / 64))
        property real shownOpacity: 0.1
        Connections {
            target: background
            enabled: word.shownOpacity !== word.steppedLevel
            function onTickChanged() { word.shownOpacity = word.steppedLevel }
        }

        Loader {
            active: word.onScreen
            sourceComponent: Text {
                text: word.text
                font.family: Theme.textFont
                font.weight: Font.ExtraBold
                font.pixelSize: 34
                // The opacity goes into the colour's alpha rather than the
                // item's: the software renderer blends glyphs of a translucent
                // item one coverage run at a time (spread over worker threads),
                // while a translucent pen takes its direct glyph path. A white
                // word looks the same either way.
                color: Qt.rgba(1, 1, 1, word.shownOpacity)
            }
        }

        // Brighten (ease-out, 1.05 s), fade (ease-in, 1.5 s), then wait a new
        // random 2 to 8 s before the next pulse.
        SequentialAnimation {
            id: pulse
            running: true
            paused: running && !word.active
            PauseAnimation { id: wait; duration: 2000 + Math.random() * 6000 }
            NumberAnimation {
                target: word; property: "level"; to: 0.55; duration: 1050
                easing.type: Easing.Bezier; easing.bezierCurve: [0, 0, 0.58, 1, 1, 1]
            }
            NumberAnimation {
                target: word; property: "level"; to: 0.1; duration: 1500
                easing.type: Easing.Bezier; easing.bezierCurve: [0.42, 0, 1, 1, 1, 1]
            }
            onFinished: {
                wait.duration = 2000 + Math.random() * 6000
                pulse.start()
            }
        }
    }

    component ScrollingWordRow: Item {
        id: row
        property var words: []
        property real duration: 1
        property alias initialOffset: rowModel.initialOffset
        property bool active: true

        clip: true

        ScrollingWordsRowModel { id: rowModel }

        // One copy of the words, laid out like the band, never drawn: its
        // width is one loop's length.
        Row {
            id: measure
            opacity: 0
            spacing: background.wordSpacing
            Repeater {
                id: measureWords
                model: row.words
                Text {
                    text: modelData
                    font.family: Theme.textFont
                    font.weight: Font.ExtraBold
                    font.pixelSize: 34
                }
            }
            onWidthChanged: rowModel.offerWidth(width)
            Component.onCompleted: rowModel.offerWidth(width)
        }

        Row {
            id: band
            anchors.verticalCenter: parent.verticalCenter
            spacing: background.wordSpacing
            // The animated value; the band moves in whole device pixels (7 to 13
            // steps a second at these speeds), on the background's beat.
            property real offset: rowModel.started ? rowModel.startOffset : 0
            readonly property real pixelRatio: Screen.devicePixelRatio > 0 ? Screen.devicePixelRatio : 1
            readonly property real steppedX: Math.round(offset * pixelRatio) / pixelRatio
            Connections {
                target: background
                enabled: band.x !== band.steppedX
                function onTickChanged() { band.x = band.steppedX }
            }
            Repeater {
                model: row.words.concat(row.words, row.words)
                PulsingWord {
                    // The same word laid out once behind the band gives the slot its size.
                    readonly property int twinIndex: index % row.words.length
                    readonly property Item twin: measureWords.count > twinIndex ? measureWords.itemAt(twinIndex) : null
                    text: modelData
                    implicitWidth: twin ? twin.width : 0
                    implicitHeight: twin ? twin.height : 0
                    onScreen: band.x + x + width > 0 && band.x + x < row.width
                    // A word outside the band's visible stretch keeps its place in its pulse.
                    active: row.active && onScreen
                }
            }
        }

        NumberAnimation {
            target: band
            property: "offset"
            from: rowModel.startOffset
            to: rowModel.endOffset
            duration: row.duration * 1000
            loops: Animation.Infinite
            running: rowModel.started
            paused: running && !row.active
        }
    }

    Column {
        id: stack
        width: background.width
        height: background.implicitHeight
        rotation: -8

        Repeater {
            model: background.wordRows
            ScrollingWordRow {
                width: stack.width
                height: background.rowHeight
                words: modelData.words
                duration: modelData.duration
                initialOffset: index * 180
                active: background.active
            }
        }
    }
}
