import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import OrvikVPN

// One of the two buttons under the picture that open a secondary window.
Button {
    id: shortcut

    property string iconName
    property string title
    property string detail

    Layout.fillWidth: true
    Layout.preferredWidth: 1
    implicitHeight: 70
    padding: 14
    Accessible.name: title

    background: Rectangle {
        radius: 14
        color: shortcut.hovered || shortcut.pressed ? colors.panelRaised : colors.panel
        border.color: shortcut.activeFocus ? colors.accent : colors.border
    }

    contentItem: RowLayout {
        spacing: 12

        AppIcon {
            Layout.preferredWidth: 22
            Layout.preferredHeight: 22
            name: shortcut.iconName
            color: colors.accent
        }

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2

            Label {
                Layout.fillWidth: true
                text: shortcut.title
                color: colors.text
                font.pixelSize: 12
                font.bold: true
                elide: Text.ElideRight
            }

            Label {
                Layout.fillWidth: true
                text: shortcut.detail
                color: colors.muted
                font.pixelSize: 9
                elide: Text.ElideRight
            }
        }
    }

    Theme { id: colors }
}
