import QtQuick
import QtQuick.Controls
import OrvikVPN

TextField {
    id: input

    implicitHeight: 46
    color: colors.text
    placeholderTextColor: colors.subtle
    selectionColor: colors.accent
    selectedTextColor: colors.accentForeground
    selectByMouse: true
    leftPadding: 14
    rightPadding: 14

    background: Rectangle {
        radius: 12
        color: colors.bg
        border.color: input.activeFocus ? colors.accent : colors.border
        border.width: input.activeFocus ? 2 : 1
    }

    Theme { id: colors }
}
