import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import OrvikVPN

// The picture of the selected location with the connection state and the round button.
Rectangle {
    id: hero

    required property Controller vpn
    required property bool reducedMotion
    // The round button turns only while its window is on screen.
    required property bool windowVisible
    required property int serverCount
    required property int headlineSize
    readonly property color stateColor: vpn.hasError ? colors.danger : colors.accent

    radius: 20
    color: colors.panelRaised
    clip: true

    Image {
        anchors.fill: parent
        source: colors.pictureFor(hero.vpn.selectedName)
        fillMode: Image.PreserveAspectCrop
        sourceSize.width: 1000
        asynchronous: true
        Accessible.ignored: true
    }

    Rectangle {
        anchors.fill: parent
        gradient: Gradient {
            GradientStop { position: 0; color: "#49102026" }
            GradientStop { position: 0.42; color: "#78102026" }
            GradientStop { position: 1; color: "#fa0b1418" }
        }
    }

    CornerMask { cornerRadius: 20; border.color: colors.bg }

    Rectangle {
        anchors.fill: parent
        radius: 20
        color: "transparent"
        border.color: "#507b8890"
    }

    ColumnLayout {
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.margins: 24
        spacing: 12

        RowLayout {
            spacing: 8

            Rectangle {
                Layout.preferredWidth: 6
                Layout.preferredHeight: 6
                radius: 3
                color: hero.stateColor
            }

            Label {
                text: "YOUR PRIVATE SPACE"
                color: colors.text
                font.pixelSize: 9
                font.letterSpacing: 2.3
                font.bold: true
            }
        }

        Label {
            objectName: "headline"
            Layout.fillWidth: true
            text: hero.vpn.connecting ? "На пути\nк свободе."
                                      : hero.vpn.connected ? "Ваш мир.\nБез границ."
                                                           : "Ближе к миру.\nДальше от шума."
            color: colors.text
            font.pixelSize: hero.headlineSize
            font.weight: Font.ExtraBold
            font.letterSpacing: -1.3
            lineHeight: 1.08
        }
    }

    RowLayout {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 24
        spacing: 16

        ColumnLayout {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignVCenter
            spacing: 7

            Label {
                objectName: "stateTitle"
                Layout.fillWidth: true
                text: hero.vpn.connecting ? "Устанавливаем туннель…"
                                          : hero.vpn.hasError ? "Не удалось подключиться"
                                                              : hero.vpn.connected ? "Соединение защищено"
                                                                                   : "Вы ещё не подключены"
                color: hero.vpn.connected || hero.vpn.hasError ? hero.stateColor : colors.text
                font.pixelSize: 16
                font.bold: true
                wrapMode: Text.Wrap
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }

            Label {
                objectName: "stateDetail"
                textFormat: Text.PlainText
                Layout.fillWidth: true
                text: hero.vpn.connecting ? "Это займёт несколько секунд"
                                          : hero.vpn.hasError ? "Повторите попытку или смените сервер"
                                                              : hero.vpn.connected ? hero.vpn.selectedName + " · " + hero.vpn.selectedProtocol
                                                                                   : "Один клик — и можно выдохнуть"
                color: colors.muted
                font.pixelSize: 11
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }
        }

        Button {
            id: connectButton

            objectName: "connectButton"
            readonly property string label: hero.vpn.connecting ? "Подключение"
                                          : hero.vpn.connected ? "Отключить VPN"
                                                               : hero.vpn.hasError ? "Повторить подключение"
                                                                                   : "Подключить VPN"
            readonly property bool spinning: hero.vpn.connecting && hero.windowVisible && !hero.reducedMotion
            // The ring's pulse and the icon's turn, animated here and shown by the parts below.
            property real pulse
            property real turn

            Layout.preferredWidth: 90
            Layout.preferredHeight: 90
            padding: 0
            enabled: !hero.vpn.busy && (hero.vpn.connected || hero.serverCount > 0)
            opacity: enabled || hero.vpn.busy ? 1 : 0.4
            scale: pressed ? 0.95 : hovered ? 1.03 : 1
            Accessible.name: label
            Behavior on scale { NumberAnimation { duration: hero.reducedMotion ? 0 : 160; easing.type: Easing.OutCubic } }

            onClicked: hero.vpn.toggleVpn()

            ToolTip.visible: hovered
            ToolTip.text: label

            SequentialAnimation on pulse {
                running: connectButton.spinning
                loops: Animation.Infinite
                NumberAnimation { from: 0.75; to: 0.08; duration: 760; easing.type: Easing.OutCubic }
                NumberAnimation { from: 0.08; to: 0.75; duration: 760; easing.type: Easing.InCubic }
            }

            NumberAnimation on turn {
                running: connectButton.spinning
                from: 0
                to: 360
                duration: 1100
                loops: Animation.Infinite
                onRunningChanged: if (!running) connectButton.turn = 0
            }

            background: Item {
                Rectangle {
                    objectName: "pulseRing"
                    anchors.centerIn: parent
                    width: parent.width + 20
                    height: width
                    radius: width / 2
                    color: "transparent"
                    border.color: colors.accent
                    border.width: 1
                    visible: hero.vpn.connecting && !hero.reducedMotion
                    opacity: connectButton.pulse
                }

                Rectangle {
                    anchors.centerIn: parent
                    width: parent.width + 12
                    height: width
                    radius: width / 2
                    color: "transparent"
                    border.color: connectButton.activeFocus ? colors.text : "#509df2d0"
                    border.width: 1
                }

                Rectangle {
                    anchors.fill: parent
                    radius: width / 2
                    color: hero.vpn.connected ? colors.accentSoft : hero.vpn.hasError ? colors.dangerSoft : colors.accent
                    border.width: 2
                    border.color: connectButton.activeFocus ? colors.text
                                : hero.vpn.connected || hero.vpn.hasError ? hero.stateColor : colors.accent
                    Behavior on color { ColorAnimation { duration: hero.reducedMotion ? 0 : 300 } }
                }
            }

            contentItem: Item {
                AppIcon {
                    objectName: "connectIcon"
                    anchors.centerIn: parent
                    width: 32
                    height: 32
                    rotation: connectButton.turn
                    name: hero.vpn.connecting ? "refresh" : "power"
                    color: hero.vpn.connected || hero.vpn.hasError ? hero.stateColor : colors.accentForeground
                }
            }
        }
    }

    Theme { id: colors }
}
