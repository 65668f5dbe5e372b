import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import OrvikVPN

// One location of the list: a radio button, so assistive technology announces the choice
// and its state.
RadioButton {
    id: location

    required property Controller vpn
    required property bool reducedMotion
    required property var modelData
    required property int index
    readonly property bool selected: index === vpn.selectedRow
    // The row's fill, which the picture's corners take on as well.
    property color fill: selected ? colors.panelSelected : hovered ? colors.panelRaised : colors.panel

    objectName: "location"
    width: ListView.view.width
    height: 76
    padding: 11
    indicator: null
    autoExclusive: false
    checked: selected
    enabled: !vpn.busy
    scale: selected ? 1 : 0.992
    Behavior on scale { NumberAnimation { duration: location.reducedMotion ? 0 : 160; easing.type: Easing.OutCubic } }
    Behavior on fill { ColorAnimation { duration: location.reducedMotion ? 0 : 180 } }

    Accessible.name: modelData.name + (selected ? ", выбрано" : "")
    Accessible.checkable: true
    Accessible.checked: selected

    onToggled: {
        // The controller's selection is the truth; a refused click changes nothing.
        checked = Qt.binding(() => location.selected)
        if (!vpn.connected)
            vpn.selectedRow = index
    }

    background: Rectangle {
        radius: 14
        color: location.fill
        border.color: location.selected || location.activeFocus ? colors.accent : colors.border
        border.width: location.activeFocus ? 2 : 1
    }

    contentItem: RowLayout {
        spacing: 14

        Rectangle {
            Layout.preferredWidth: 58
            Layout.preferredHeight: 54
            radius: 8
            color: colors.panelRaised
            clip: true

            Image {
                anchors.fill: parent
                source: colors.pictureFor(location.modelData.name)
                sourceSize.width: 150
                fillMode: Image.PreserveAspectCrop
                asynchronous: true
                Accessible.ignored: true
            }

            Rectangle {
                anchors.fill: parent
                color: "#400b1418"
            }

            CornerMask { cornerRadius: 8; border.color: location.fill }

            CountryFlag {
                anchors.centerIn: parent
                code: location.modelData.countryCode || "VPN"
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 5

            LocationName {
                Layout.fillWidth: true
                name: location.modelData.name
                selected: location.selected
            }

            Label {
                textFormat: Text.PlainText
                Layout.fillWidth: true
                text: location.modelData.protocol + " · " + location.modelData.endpoint
                color: colors.muted
                font.pixelSize: 10
                elide: Text.ElideRight
            }
        }

        LatencyButton {
            entry: location.modelData
            reducedMotion: location.reducedMotion
            onClicked: location.vpn.pingServer(location.index)
        }
    }

    Theme { id: colors }
}
