import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import OrvikVPN

// A location's HTTPS check: its last result, and a click starts another.
Button {
    id: latency

    required property var entry
    required property bool reducedMotion
    readonly property bool measured: entry.latency >= 0

    function latencyText(entry: var): string {
        if (entry.pinging)
            return "…"
        if (entry.latency >= 0)
            return "HTTPS " + entry.latency + " мс"
        if (entry.latency === -1)
            return "Нет связи"
        return "ПРОВЕРИТЬ"
    }

    objectName: "latencyButton"
    Layout.preferredWidth: 92
    Layout.preferredHeight: 36
    padding: 0
    enabled: !entry.pinging
    text: latencyText(entry)
    Accessible.name: text

    // A check error quotes the core, so the tip shows it as plain text.
    ToolTip {
        id: checkTip
        objectName: "checkTip"
        visible: latency.hovered
        delay: 500
        text: latency.entry.checkError
              ? latency.entry.checkError
              : "Время HTTPS-запроса через этот VPN, включая TLS. Это не ICMP-пинг."
        contentItem: Text {
            text: checkTip.text
            textFormat: Text.PlainText
            font: checkTip.font
            color: checkTip.palette.toolTipText
            wrapMode: Text.Wrap
        }
    }

    background: Rectangle {
        radius: 10
        color: latency.hovered ? colors.panelRaised : colors.bg
        border.color: latency.measured ? colors.accent : colors.border
        Behavior on color { ColorAnimation { duration: latency.reducedMotion ? 0 : 140 } }
    }

    contentItem: Label {
        textFormat: Text.PlainText
        text: latency.text
        color: latency.measured ? colors.accent : colors.muted
        font.pixelSize: 9
        font.bold: true
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    Theme { id: colors }
}
