import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import OrvikVPN

ApplicationWindow {
    id: window

    property bool allowClose: false

    width: 500
    height: Math.max(650, Math.min(860, Screen.desktopAvailableHeight - 70))
    minimumWidth: 420
    minimumHeight: 650
    visible: true
    title: "OrvikVPN 0.3.1 · Stay free"
    color: colors.bg

    onClosing: close => {
        if (!window.allowClose) {
            close.accepted = false
            window.hide()
        }
    }

    Theme { id: colors }

    Controller { id: vpn }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 24
        spacing: 16

        Label {
            text: vpn.status
            color: vpn.hasError ? colors.danger : colors.text
            font.pixelSize: 16
            font.bold: true
        }

        Button {
            objectName: "connectButton"
            text: vpn.connected ? "Отключить VPN" : "Подключить VPN"
            enabled: !vpn.busy && (vpn.connected || vpn.servers.length > 0)
            onClicked: vpn.toggleVpn()
        }

        Label {
            text: vpn.servers.length + " профилей"
            color: colors.muted
        }

        Item { Layout.fillHeight: true }
    }
}
