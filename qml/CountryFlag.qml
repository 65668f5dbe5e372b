pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import OrvikVPN

Item {
    id: flag

    property string code: "VPN"
    readonly property var bands: code === "NL" ? ["#ae1c28", "#ffffff", "#21468b"]
                               : code === "PL" ? ["#ffffff", "#dc143c"]
                               : code === "DE" ? ["#151515", "#dd0000", "#ffcc00"]
                               : []
    readonly property bool known: bands.length > 0 || code === "FI"

    implicitWidth: 36
    implicitHeight: 24
    clip: true

    Rectangle {
        anchors.fill: parent
        radius: 4
        color: flag.code === "DE" || !flag.known ? colors.panelRaised : "#ffffff"
    }

    // Each band shows its slice of one rounded rectangle, so the outer bands keep the
    // flag's rounded corners.
    Repeater {
        model: flag.bands
        delegate: Item {
            id: band

            required property int index
            required property string modelData
            y: index * height
            width: flag.width
            height: flag.height / flag.bands.length
            clip: true

            Rectangle {
                y: -band.y
                width: flag.width
                height: flag.height
                radius: 4
                color: band.modelData
            }
        }
    }

    Rectangle {
        visible: flag.code === "FI"
        x: flag.width * 0.28
        width: flag.width * 0.17
        height: flag.height
        color: "#003580"
    }

    Rectangle {
        visible: flag.code === "FI"
        y: flag.height * 0.41
        width: flag.width
        height: flag.height * 0.22
        color: "#003580"
    }

    Label {
        textFormat: Text.PlainText
        anchors.centerIn: parent
        visible: !flag.known
        text: flag.code
        color: colors.text
        font.pixelSize: 9
        font.bold: true
    }

    Rectangle {
        anchors.fill: parent
        radius: 4
        color: "transparent"
        border.color: "#6695a5ad"
    }

    Theme { id: colors }
}
