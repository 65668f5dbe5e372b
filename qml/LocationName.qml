import QtQuick
import QtQuick.Controls
import OrvikVPN

// A location's name and, on the selected one, its badge. The name keeps its width and
// gives way (elided) only when the badge needs the room.
Item {
    id: root

    required property string name
    required property bool selected

    implicitHeight: nameLabel.implicitHeight

    Label {
        id: nameLabel
        textFormat: Text.PlainText
        width: Math.min(implicitWidth, root.width - (badge.visible ? badge.implicitWidth + 8 : 0))
        text: root.name
        color: colors.text
        font.pixelSize: 14
        font.bold: true
        elide: Text.ElideRight
    }

    Label {
        id: badge
        anchors.left: nameLabel.right
        anchors.leftMargin: 8
        anchors.verticalCenter: nameLabel.verticalCenter
        visible: root.selected
        text: "ВЫБРАНО"
        color: colors.accent
        font.pixelSize: 8
        font.letterSpacing: 0.8
        font.bold: true
    }

    Theme { id: colors }
}
