pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import OrvikVPN

// The running programs and whether each goes through the tunnel or around it.
ApplicationWindow {
    id: appWindow

    required property ApplicationWindow owner
    required property Controller vpn
    required property bool reducedMotion
    // The core that application routing needs, as the user sees it beside the client.
    readonly property string coreFileName: Qt.platform.os === "windows" ? "sing-box.exe" : "sing-box"

    function routeExplanation(available, mode) {
        if (!available)
            return "Для маршрутизации приложений нужен " + coreFileName + " рядом с приложением."
        if (mode === "include")
            return "Выбранные приложения будут работать через VPN. Остальные приложения останутся напрямую."
        return "Выбранные приложения будут работать напрямую. Остальные приложения пойдут через VPN."
    }

    objectName: "appWindow"
    transientParent: owner
    flags: Qt.Dialog
    width: 580
    height: 680
    minimumWidth: 460
    minimumHeight: 540
    title: "orvikVPN · Приложения"
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
                name: "apps"
                color: colors.accent
            }

            Label {
                Layout.fillWidth: true
                text: "Маршруты приложений"
                color: colors.text
                font.pixelSize: 24
                font.bold: true
                wrapMode: Text.Wrap
            }

            IconButton {
                iconName: "refresh"
                Accessible.name: "Обновить процессы"
                onClicked: appWindow.vpn.refreshProcesses()
            }

            IconButton {
                iconName: "close"
                Accessible.name: "Закрыть список приложений"
                onClicked: appWindow.close()
            }
        }

        Label {
            objectName: "routeExplanation"
            Layout.fillWidth: true
            text: appWindow.routeExplanation(appWindow.vpn.processBypassAvailable, appWindow.vpn.processRouteMode)
            color: colors.muted
            font.pixelSize: 12
            wrapMode: Text.Wrap
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Label {
                text: "Режим"
                color: colors.text
                font.weight: Font.DemiBold
            }

            ModeButton {
                objectName: "excludeModeButton"
                vpn: appWindow.vpn
                value: "exclude"
                text: "Исключения"
                Accessible.name: "Режим исключений: выбранные приложения напрямую"
            }

            ModeButton {
                objectName: "includeModeButton"
                vpn: appWindow.vpn
                value: "include"
                text: "Белый список"
                Accessible.name: "Белый список: только выбранные приложения через VPN"
            }
        }

        Label {
            objectName: "processCount"
            text: (appWindow.vpn.processRouteMode === "include" ? "Отмечено через VPN: " : "Отмечено напрямую: ")
                  + appWindow.vpn.selectedProcessCount
            color: colors.accent
            font.pixelSize: 11
        }

        InputField {
            objectName: "processSearch"
            Layout.fillWidth: true
            placeholderText: "Найти приложение, путь или PID"
            Accessible.name: "Поиск процессов"
            onTextChanged: {
                // A new search starts at the top.
                processList.rememberedY = 0
                processList.contentY = processList.originY
                appWindow.vpn.processFilter = text
            }
        }

        ListView {
            id: processList

            // Where the user left the list; a replaced model (refresh, toggle) scrolls back here.
            property real rememberedY: 0
            property bool restoring: false

            function remember() {
                if (!restoring && !dragging && !flicking)
                    rememberedY = contentY - originY
            }

            function replaceModel() {
                restoring = true
                model = appWindow.vpn.processes
                restoreLater.restart()
            }

            function restore() {
                forceLayout()
                const limit = Math.max(0, contentHeight - height)
                restoring = false
                contentY = originY + Math.min(rememberedY, limit)
            }

            objectName: "processList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 7
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            Component.onCompleted: model = appWindow.vpn.processes

            onContentYChanged: remember()
            onMovementEnded: remember()

            // Once the new model has its rows, on the next pass of the event loop.
            Timer {
                id: restoreLater
                interval: 0
                onTriggered: processList.restore()
            }

            Connections {
                target: appWindow.vpn
                function onProcessesChanged() { processList.replaceModel() }
            }

            delegate: Rectangle {
                id: process

                required property var modelData
                readonly property bool selected: modelData.selected === true

                width: ListView.view.width
                height: 68
                radius: 12
                color: selected ? colors.accentSoft : colors.panel
                border.color: selected ? colors.accent : colors.border
                Behavior on color { ColorAnimation { duration: appWindow.reducedMotion ? 0 : 150 } }
                Behavior on border.color { ColorAnimation { duration: appWindow.reducedMotion ? 0 : 150 } }

                RowLayout {
                    anchors.fill: parent
                    anchors.margins: 12
                    spacing: 10

                    Rectangle {
                        Layout.preferredWidth: 36
                        Layout.preferredHeight: 36
                        radius: 10
                        color: colors.panelRaised

                        Image {
                            id: programIcon
                            anchors.fill: parent
                            anchors.margins: 5
                            source: process.modelData.icon && process.modelData.icon !== "app"
                                    ? process.modelData.icon : ""
                            sourceSize.width: 52
                            sourceSize.height: 52
                            fillMode: Image.PreserveAspectFit
                            asynchronous: true
                            Accessible.ignored: true
                        }

                        AppIcon {
                            anchors.centerIn: parent
                            width: 20
                            height: 20
                            visible: programIcon.status !== Image.Ready
                            name: "apps"
                            color: colors.accent
                        }
                    }

                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 4

                        Label {
                            textFormat: Text.PlainText
                            Layout.fillWidth: true
                            text: process.modelData.name + "  ·  " + process.modelData.pid
                            color: colors.text
                            font.weight: Font.DemiBold
                            elide: Text.ElideRight
                        }

                        Label {
                            textFormat: Text.PlainText
                            Layout.fillWidth: true
                            text: process.modelData.path ? process.modelData.path : "Системный процесс"
                            color: colors.muted
                            font.pixelSize: 10
                            elide: Text.ElideMiddle
                        }
                    }

                    CheckBox {
                        id: processCheck

                        checked: process.selected
                        enabled: appWindow.vpn.processBypassAvailable
                        opacity: enabled ? 1 : 0.45
                        Accessible.name: process.modelData.name
                                         + (appWindow.vpn.processRouteMode === "include" ? ": через VPN" : ": напрямую")
                        onToggled: {
                            const wanted = checked
                            // The controller's list is the truth; it replaces the model.
                            checked = Qt.binding(() => process.selected)
                            appWindow.vpn.toggleProcessSelection(process.modelData.name, wanted)
                        }

                        indicator: Rectangle {
                            x: processCheck.leftPadding
                            y: (processCheck.height - height) / 2
                            implicitWidth: 22
                            implicitHeight: 22
                            radius: 6
                            color: processCheck.checked ? colors.accent : colors.bg
                            border.color: processCheck.checked || processCheck.activeFocus ? colors.accent : colors.border
                            border.width: processCheck.activeFocus ? 2 : 1

                            AppIcon {
                                anchors.fill: parent
                                anchors.margins: 3
                                visible: processCheck.checked
                                name: "check"
                                color: colors.accentForeground
                            }
                        }
                    }
                }
            }

            Label {
                anchors.centerIn: parent
                visible: processList.count === 0
                text: "Приложения не найдены"
                color: colors.muted
            }
        }
    }

    Theme { id: colors }
}
