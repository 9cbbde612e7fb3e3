import QtQuick
import Vocarta

// The first page: the animated word header, the title, what the program is,
// NEXT and the phone app's download page.
Rectangle {
    id: info
    signal next()
    signal downloadRequested()

    implicitWidth: 420
    implicitHeight: 525
    color: Theme.purple

    Item {
        id: header
        width: parent.width
        height: words.implicitHeight

        // Decoration: the words are no part of what the page says.
        ScrollingWordsBackground {
            id: words
            Accessible.ignored: true
            objectName: "scrollingWords"
            anchors.fill: parent
        }

        // The words fade into the page colour toward the title.
        Rectangle {
            anchors.bottom: parent.bottom
            width: parent.width
            height: 100
            gradient: Gradient {
                GradientStop { position: 0.0; color: Qt.rgba(Theme.purple.r, Theme.purple.g, Theme.purple.b, 0) }
                GradientStop { position: 0.55; color: Theme.purple }
                GradientStop { position: 1.0; color: Theme.purple }
            }
        }

        Column {
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 8
            spacing: 2
            ReadableText {
                anchors.horizontalCenter: parent.horizontalCenter
                //: The product name as a title in capitals; keep it unless your language writes it in another script.
                text: qsTr("VOCARTA")
                color: "white"
                font.family: Theme.displayFont
                font.pixelSize: 52
                font.letterSpacing: 2
            }
            ReadableText {
                anchors.horizontalCenter: parent.horizontalCenter
                text: qsTr("Learn new words every day")
                color: Qt.rgba(1, 1, 1, 0.8)
                font.family: Theme.textFont
                font.pixelSize: 14
            }
        }
    }

    Rectangle {
        id: card
        anchors.top: header.bottom
        anchors.topMargin: 20
        x: 28
        width: parent.width - 56
        height: cardRows.implicitHeight + 36
        radius: 14
        color: Qt.rgba(1, 1, 1, 0.08)
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.12)

        Column {
            id: cardRows
            x: 18
            y: 18
            width: card.width - 36
            spacing: 14
            OnboardingInfoRow {
                width: parent.width
                icon: "LinkCodeIconPhone.svg"
                text: qsTr("This is a companion app for the Vocarta iOS app.")
            }
        }
    }

    Column {
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 28
        x: 28
        width: parent.width - 56
        spacing: 14

        PillButton {
            objectName: "nextButton"
            width: parent.width
            //: Button in capitals that goes on to the next page of the first-run window.
            label: qsTr("NEXT")
            background: Theme.yellow
            foreground: Theme.charcoal
            backdrop: info.color
            outlineColor: Theme.gold
            outlineWidth: 5
            onClicked: info.next()
        }
        PillButton {
            objectName: "downloadButton"
            width: parent.width
            //: Button in capitals that opens the phone app's download page in the browser.
            label: qsTr("DOWNLOAD IOS APP")
            background: Theme.yellow
            foreground: Theme.charcoal
            backdrop: info.color
            outlineColor: Theme.gold
            outlineWidth: 5
            onClicked: info.downloadRequested()
        }
    }
}
