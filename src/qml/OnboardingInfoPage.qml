import QtQuick
import Vocarta.Models 1.0

// The first page: the animated word header, the title, what the program is,
// NEXT and the phone app's download page.
Rectangle {
    id: info
    signal next()
    signal downloadRequested()

    implicitWidth: 420
    implicitHeight: 525
    color: "#5F35BF"

    Item {
        id: header
        width: parent.width
        height: words.implicitHeight

        ScrollingWordsBackground {
            id: words
            objectName: "scrollingWords"
            anchors.fill: parent
        }

        // The words fade into the page colour toward the title.
        Rectangle {
            anchors.bottom: parent.bottom
            width: parent.width
            height: 100
            gradient: Gradient {
                GradientStop { position: 0.0; color: Qt.rgba(0x5F / 255, 0x35 / 255, 0xBF / 255, 0) }
                GradientStop { position: 0.55; color: "#5F35BF" }
                GradientStop { position: 1.0; color: "#5F35BF" }
            }
        }

        Column {
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 8
            spacing: 2
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: "VOCARTA"
                color: "white"
                font.family: "Staatliches"
                font.pixelSize: 52
                font.letterSpacing: 2
            }
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: "Learn new words every day"
                color: Qt.rgba(1, 1, 1, 0.8)
                font.family: "Nunito"
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
                text: "This is a companion app for the Vocarta iOS app."
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
            label: "NEXT"
            background: "#EAD153"
            foreground: "#312E35"
            backdrop: info.color
            outlineColor: "#ECBF2E"
            outlineWidth: 5
            onClicked: info.next()
        }
        PillButton {
            objectName: "downloadButton"
            width: parent.width
            label: "DOWNLOAD IOS APP"
            background: "#EAD153"
            foreground: "#312E35"
            backdrop: info.color
            outlineColor: "#ECBF2E"
            outlineWidth: 5
            onClicked: info.downloadRequested()
        }
    }
}
