import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import OrvikVPN

// One of the application routing modes; checked while it is the controller's mode.
Button {
    id: mode

    required property Controller vpn
    required property string value
    readonly property bool current: vpn.processRouteMode === value

    Layout.fillWidth: true
    Layout.preferredWidth: 1
    implicitHeight: 40
    checkable: true
    checked: current
    enabled: !vpn.busy
    opacity: enabled ? 1 : 0.45

    onToggled: {
        // The controller's mode is the truth; a click on the current mode changes nothing.
        checked = Qt.binding(() => mode.current)
        vpn.processRouteMode = value
    }

    background: Rectangle {
        radius: 10
        color: mode.checked ? colors.accentSoft : colors.panel
        border.color: mode.checked ? colors.accent : colors.border
        border.width: mode.activeFocus ? 2 : 1
    }

    // The checked label is in the accent: the dark accent foreground would vanish on the
    // dark accentSoft fill.
    contentItem: Label {
        text: mode.text
        color: mode.checked ? colors.accent : colors.text
        font.weight: Font.DemiBold
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    Theme { id: colors }
}
