pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import OrvikVPN

// The subscription's locations, one row each, or an invitation to add a subscription.
ListView {
    id: locations

    required property Controller vpn
    required property bool reducedMotion

    model: vpn.serverModel
    spacing: 8
    clip: true
    boundsBehavior: Flickable.StopAtBounds
    // Rows are made as they scroll into view, not ahead of time: start-up makes only
    // the visible ones.
    cacheBuffer: 0

    ScrollBar.vertical: ScrollBar {
        id: locationsBar
        policy: ScrollBar.AsNeeded
        contentItem: Rectangle {
            implicitWidth: 4
            radius: 2
            color: locationsBar.pressed ? colors.muted : colors.border
            visible: locationsBar.size < 1.0
            opacity: locationsBar.active ? 1 : 0.6
            Behavior on opacity { NumberAnimation { duration: locations.reducedMotion ? 0 : 200 } }
        }
    }

    delegate: LocationRow {
        vpn: locations.vpn
        reducedMotion: locations.reducedMotion
    }

    ColumnLayout {
        anchors.centerIn: parent
        width: parent.width - 40
        spacing: 6
        visible: locations.count === 0

        Label {
            Layout.fillWidth: true
            text: "Ваше путешествие начинается здесь"
            color: colors.text
            font.pixelSize: 13
            font.bold: true
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
        }

        Label {
            Layout.fillWidth: true
            text: "Добавьте подписку — появятся доступные локации."
            color: colors.muted
            font.pixelSize: 11
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
        }
    }

    Theme { id: colors }
}
