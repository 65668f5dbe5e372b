import QtQuick

// Covers the corners of a clipped picture outside its rounded frame with the colour
// around it: a border as wide as the radius, lying just outside the picture's edges,
// whose inner edge is the rounded frame.
Rectangle {
    property real cornerRadius: 8

    anchors.fill: parent
    anchors.margins: -cornerRadius
    radius: cornerRadius * 2
    color: "transparent"
    border.width: cornerRadius
}
