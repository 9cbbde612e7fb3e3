import QtQuick
import Vocarta

// Three tilted bands of large words drifting left forever, single words
// brightening and fading at random moments. Decoration only: it draws and
// takes no input. One beat drives every motion; nothing runs while the view
// is not on screen.
Item {
    id: background

    // False while the page or its window is hidden: all motion stops.
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

    // One beat for every moving part: the bands and the pulsing words move
    // only on its ticks, 30 a second, so they change in the same frames
    // instead of each asking for frames of its own. It stops while the
    // background is not shown, and everything that moves stands with it.
    ScrollingWordsBeat {
        id: beat
        ticksPerSecond: 30
        running: background.active
    }

    // A slot of the band: it keeps its place in the band's layout at all
    // times, but its text exists only while the slot is on screen, so the
    // scene holds a handful of words instead of every copy of every row.
    component WordSlot: Item {
        id: word
        required property ScrollingWordSlot modelData
        x: modelData.x
        width: modelData.width

        Loader {
            active: word.modelData.onScreen
            sourceComponent: Text {
                Accessible.ignored: true
                text: word.modelData.text
                font.family: Theme.textFont
                font.weight: Font.ExtraBold
                font.pixelSize: 34
                // The opacity goes into the colour's alpha rather than the
                // item's: the software renderer blends glyphs of a translucent
                // item one coverage run at a time (spread over worker threads),
                // while a translucent pen takes its direct glyph path. A white
                // word looks the same either way.
                color: word.modelData.color
            }
        }
    }

    // The band's motion and its words' pulses are worked out by the row's
    // model on the beat; the items only show where the model puts them.
    component ScrollingWordRow: Item {
        id: row
        property var words: []
        property real duration: 1
        property real initialOffset: 0

        clip: true

        ScrollingWordsRowModel {
            id: rowModel
            words: row.words
            duration: row.duration
            initialOffset: row.initialOffset
            spacing: background.wordSpacing
            viewWidth: row.width
            devicePixelRatio: Screen.devicePixelRatio > 0 ? Screen.devicePixelRatio : 1
            color: "white"
            time: beat.clock
        }

        // One copy of the words, never drawn: each gives its word's slot its
        // size. Hidden rather than transparent, so the renderer never visits them.
        Item {
            id: measure
            visible: false
            property real wordHeight: 0
            Repeater {
                id: measureWords
                model: row.words
                Text {
                    Accessible.ignored: true
                    text: modelData
                    font.family: Theme.textFont
                    font.weight: Font.ExtraBold
                    font.pixelSize: 34
                    onWidthChanged: measure.offer()
                }
                onItemAdded: measure.offer()
            }
            function offer() {
                const widths = []
                for (let i = 0; i < row.words.length; ++i) {
                    const word = measureWords.itemAt(i)
                    if (!word)
                        return
                    widths.push(word.width)
                }
                wordHeight = measureWords.itemAt(0).height
                rowModel.offerWidths(widths)
            }
        }

        Item {
            id: band
            anchors.verticalCenter: parent.verticalCenter
            x: rowModel.x
            height: measure.wordHeight
            Repeater {
                model: rowModel.wordSlots
                WordSlot {
                    height: band.height
                }
            }
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
            }
        }
    }
}
