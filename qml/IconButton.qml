import QtQuick
import QtQuick.Controls
import OrvikVPN

Button {
    id: iconButton

    property string iconName: "close"

    implicitWidth: 44
    implicitHeight: 44
    padding: 12
    opacity: enabled ? 1 : 0.45

    background: Rectangle {
        radius: 12
        color: iconButton.hovered || iconButton.pressed ? colors.panelRaised : "transparent"
        border.color: iconButton.activeFocus ? colors.accent : "transparent"
    }

    contentItem: AppIcon {
        name: iconButton.iconName
        color: colors.muted
    }

    Theme { id: colors }
}
