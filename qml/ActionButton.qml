import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import OrvikVPN

// A wide button with an icon before its text; the primary one is filled with the accent.
Button {
    id: action

    required property bool reducedMotion
    property string iconName: "arrow"
    property bool primary: false
    property bool destructive: false

    implicitHeight: 46
    // The text with 64 around it; the icon and its spacing are 27 of the content's width.
    implicitWidth: contentItem.implicitWidth + 37
    padding: 12
    // The icon and text sit in the middle of a wider button, at their own width.
    readonly property real room: width - contentItem.implicitWidth
    leftPadding: room > 24 ? Math.floor(room / 2) : 12
    rightPadding: room > 24 ? room - leftPadding : 12
    opacity: enabled ? 1 : 0.45
    Accessible.name: text

    background: Rectangle {
        radius: 12
        color: action.primary ? (action.pressed ? "#7cdab5" : colors.accent)
                              : (action.pressed || action.hovered ? colors.panelRaised : colors.panel)
        border.color: action.activeFocus ? colors.accent : colors.border
        border.width: action.activeFocus ? 2 : 1
        Behavior on color { ColorAnimation { duration: action.reducedMotion ? 0 : 140 } }
        Behavior on border.color { ColorAnimation { duration: action.reducedMotion ? 0 : 140 } }
    }

    contentItem: RowLayout {
        spacing: 9

        AppIcon {
            Layout.preferredWidth: 18
            Layout.preferredHeight: 18
            name: action.iconName
            color: action.primary ? colors.accentForeground
                                  : action.destructive ? colors.danger : colors.accent
        }

        Label {
            Layout.fillWidth: true
            text: action.text
            color: action.primary ? colors.accentForeground
                                  : action.destructive ? colors.danger : colors.text
            font.weight: Font.DemiBold
            elide: Text.ElideRight
        }
    }

    Theme { id: colors }
}
