import QtQuick
import Vocarta

// The chosen candidate as a card: the word with its flag and phonetic, the
// translation, the two example sentences and the category badge.
Rectangle {
    id: resultCard
    // The chosen TranslationResult and the active Deck.
    required property var result
    required property var deck

    readonly property string langFrom: deck ? deck.langFrom : ""
    readonly property string langTo: deck ? deck.langTo : ""
    readonly property int rowSpacing: 8
    // An empty example or example translation is a valid record; its row is left out, not shown bare.
    readonly property string exampleText: result ? result.exampleSentence : ""
    readonly property string exampleTranslationText: result ? result.exampleSentenceTranslation : ""

    // The card reads as one group, named after its word and translation;
    // its texts follow inside it in reading order.
    Accessible.role: Accessible.Grouping
    //: Screen reader name of the chosen card; %1 is the word, %2 its translation.
    Accessible.name: result ? qsTr("Card: %1, %2").arg(result.word).arg(result.translation) : ""

    color: "white"
    radius: 20
    antialiasing: true
    implicitHeight: stack.implicitHeight + 32

    component Divider: Rectangle {
        width: parent ? parent.width : 0
        height: 1
        color: Qt.rgba(0, 0, 0, 0.12)
    }

    Column {
        id: stack
        x: 16
        y: 16
        width: resultCard.width - 32
        spacing: 6

        Row {
            objectName: "wordRow"
            width: parent.width
            spacing: resultCard.rowSpacing
            Item {
                width: 24; height: 28
                AddCardFlag { objectName: "wordFlag"; y: 4; size: 24; langCode: resultCard.langTo }
            }
            Column {
                width: parent.width - 24 - parent.spacing
                spacing: 2
                ReadableText {
                    objectName: "resultWord"
                    width: parent.width
                    textFormat: Text.PlainText
                    text: resultCard.result ? resultCard.result.word : ""
                    font.family: Theme.textFont; font.weight: Font.ExtraBold; font.pixelSize: 28
                    color: Theme.ink
                    wrapMode: Text.Wrap
                }
                ReadableText {
                    objectName: "resultPhonetic"
                    width: parent.width
                    visible: text.length > 0
                    textFormat: Text.PlainText
                    text: resultCard.result ? resultCard.result.phonetic : ""
                    font.family: Theme.textFont; font.pixelSize: 14
                    color: Theme.secondaryGrey
                    wrapMode: Text.Wrap
                }
            }
        }

        Divider {}

        Row {
            width: parent.width
            spacing: resultCard.rowSpacing
            Item {
                width: 24; height: 28
                AddCardFlag { y: 4; size: 24; langCode: resultCard.langFrom }
            }
            ReadableText {
                objectName: "resultTranslation"
                width: parent.width - 24 - parent.spacing
                textFormat: Text.PlainText
                text: resultCard.result ? resultCard.result.translation : ""
                font.family: Theme.textFont; font.weight: Font.ExtraBold; font.pixelSize: 28
                color: Theme.ink
                wrapMode: Text.Wrap
            }
        }

        Divider {}

        Row {
            objectName: "exampleTranslationRow"
            width: parent.width
            spacing: resultCard.rowSpacing
            visible: resultCard.exampleTranslationText.length > 0
            Item {
                width: 18; height: 20
                AddCardFlag { y: 2; size: 18; langCode: resultCard.langFrom }
            }
            ReadableText {
                objectName: "resultExampleTranslation"
                width: parent.width - 18 - parent.spacing
                textFormat: Text.PlainText
                text: resultCard.exampleTranslationText
                font.family: Theme.textFont; font.pixelSize: 13
                color: Theme.exampleText
                wrapMode: Text.Wrap
            }
        }

        Row {
            objectName: "exampleRow"
            width: parent.width
            spacing: resultCard.rowSpacing
            visible: resultCard.exampleText.length > 0
            Item {
                width: 18; height: 20
                AddCardFlag { y: 2; size: 18; langCode: resultCard.langTo }
            }
            ReadableText {
                objectName: "resultExample"
                width: parent.width - 18 - parent.spacing
                textFormat: Text.PlainText
                text: resultCard.exampleText
                font.family: Theme.textFont; font.pixelSize: 13
                color: Theme.exampleText
                wrapMode: Text.Wrap
            }
        }

        Divider { visible: resultCard.exampleText.length > 0 || resultCard.exampleTranslationText.length > 0 }

        Rectangle {
            objectName: "categoryBadge"
            width: badgeText.implicitWidth + 24
            height: badgeText.implicitHeight + 8
            radius: height / 2
            antialiasing: true
            color: Theme.ink
            ReadableText {
                id: badgeText
                objectName: "categoryText"
                anchors.centerIn: parent
                textFormat: Text.PlainText
                text: resultCard.result ? resultCard.result.category.toUpperCase() : ""
                font.family: Theme.displayFont; font.pixelSize: 14
                color: "white"
            }
        }
    }
}
