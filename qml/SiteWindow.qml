pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import OrvikVPN

// The domains that go around the tunnel: the built-in ones and the user's own.
ApplicationWindow {
    id: siteWindow

    required property ApplicationWindow owner
    required property Controller vpn
    required property bool reducedMotion

    function addDomainFrom(field: InputField) {
        if (vpn.addBypassDomain(field.text))
            field.clear()
    }

    objectName: "siteWindow"
    transientParent: owner
    flags: Qt.Dialog
    width: 540
    height: 640
    minimumWidth: 460
    minimumHeight: 540
    title: "orvikVPN · Сайты без VPN"
    color: colors.bg
    font: owner.font
    palette: owner.palette
    visible: false

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 24
        spacing: 16

        RowLayout {
            Layout.fillWidth: true
            spacing: 12

            AppIcon {
                Layout.preferredWidth: 28
                Layout.preferredHeight: 28
                name: "globe"
                color: colors.accent
            }

            Label {
                Layout.fillWidth: true
                text: "Прямой маршрут"
                color: colors.text
                font.pixelSize: 24
                font.bold: true
                elide: Text.ElideRight
            }

            IconButton {
                iconName: "close"
                Accessible.name: "Закрыть список сайтов"
                onClicked: siteWindow.close()
            }
        }

        Label {
            text: "Сайты без VPN"
            color: colors.accent
            font.bold: true
        }

        Label {
            Layout.fillWidth: true
            text: "Эти домены и их поддомены идут напрямую. Сайты увидят ваш обычный IP-адрес."
            color: colors.muted
            font.pixelSize: 12
            wrapMode: Text.Wrap
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 10

            InputField {
                id: domainInput

                objectName: "domainInput"
                Layout.fillWidth: true
                placeholderText: "example.ru или ссылка"
                Accessible.name: "Домен для прямого подключения"
                onAccepted: siteWindow.addDomainFrom(domainInput)
            }

            ActionButton {
                objectName: "addDomainButton"
                reducedMotion: siteWindow.reducedMotion
                primary: true
                iconName: "plus"
                text: "Добавить"
                onClicked: siteWindow.addDomainFrom(domainInput)
            }
        }

        Label {
            objectName: "domainError"
            textFormat: Text.PlainText
            Layout.fillWidth: true
            visible: siteWindow.vpn.bypassDomainError.length > 0
            text: siteWindow.vpn.bypassDomainError
            color: colors.danger
            font.pixelSize: 11
            wrapMode: Text.Wrap
        }

        Label {
            text: "ПРАВИЛА МАРШРУТИЗАЦИИ"
            color: colors.muted
            font.pixelSize: 9
            font.letterSpacing: 1.6
        }

        ListView {
            objectName: "bypassList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            model: siteWindow.vpn.bypassDomains
            spacing: 8
            clip: true
            boundsBehavior: Flickable.StopAtBounds

            delegate: Rectangle {
                id: rule

                required property var modelData

                width: ListView.view.width
                height: 68
                radius: 12
                color: colors.panel
                border.color: colors.border

                RowLayout {
                    anchors.fill: parent
                    anchors.margins: 12
                    spacing: 10

                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 4

                        Label {
                            textFormat: Text.PlainText
                            Layout.fillWidth: true
                            text: rule.modelData.domain
                            color: colors.text
                            font.pixelSize: 13
                            font.bold: true
                            elide: Text.ElideMiddle
                        }

                        Label {
                            Layout.fillWidth: true
                            text: rule.modelData.builtin ? "Встроенное · включая поддомены"
                                                         : "Ваше правило · включая поддомены"
                            color: rule.modelData.builtin ? colors.accent : colors.muted
                            font.pixelSize: 10
                            elide: Text.ElideRight
                        }
                    }

                    IconButton {
                        visible: !rule.modelData.builtin
                        iconName: "close"
                        Accessible.name: "Удалить " + rule.modelData.domain
                        onClicked: siteWindow.vpn.removeBypassDomain(rule.modelData.domain)
                    }
                }
            }
        }
    }

    Theme { id: colors }
}
