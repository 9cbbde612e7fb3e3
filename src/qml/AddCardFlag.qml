import QtQuick

// A round flag for a deck's language code, drawn by the "flag" image provider
// (grey circle when the language has no flag).
Image {
    property string langCode
    property real size: 24

    width: size
    height: size
    sourceSize: Qt.size(Math.ceil(size * Screen.devicePixelRatio), Math.ceil(size * Screen.devicePixelRatio))
    source: "image://flag/" + langCode
    cache: false
    smooth: true
    fillMode: Image.Stretch
}
