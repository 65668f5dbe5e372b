pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import OrvikVPN

ApplicationWindow {
    id: window

    // Set by the tray's quit action; until then closing the window only hides it.
    property bool allowClose: false
    property bool reducedMotion: false
    property bool pageReady: false
    readonly property bool compact: height < 800
    // Deployment value: the host of the web cabinet where users find their subscription
    // link, shown in the link field's placeholder.
    property string cabinetHost: "my.orvikvpn.com"

    width: 500
    height: Math.max(650, Math.min(860, Screen.desktopAvailableHeight - 70))
    minimumWidth: 420
    minimumHeight: 650
    visible: true
    title: "OrvikVPN " + Qt.application.version + " · Stay free"
    color: colors.bg
    font.family: manrope.status === FontLoader.Ready ? manrope.name : "Segoe UI"
    font.pixelSize: 13

    palette.window: colors.bg
    palette.windowText: colors.text
    palette.base: colors.bg
    palette.text: colors.text
    palette.button: colors.panel
    palette.buttonText: colors.text
    palette.highlight: colors.accent
    palette.highlightedText: colors.accentForeground
    palette.toolTipBase: colors.panelRaised
    palette.toolTipText: colors.text
    palette.mid: colors.border
    palette.dark: colors.border

    onClosing: close => {
        if (!window.allowClose) {
            close.accepted = false
            window.hide()
        }
    }

    Component.onCompleted: pageReady = true

    // The page's own fade; every other part turns its motion down from reducedMotion too.
    function motion(milliseconds: int): int {
        return reducedMotion ? 0 : milliseconds
    }

    // The secondary windows are made on first use and then kept, so each keeps its state
    // between showings.
    function showWindow(loader: Loader, file: string) {
        if (!loader.item) {
            loader.setSource(file, {
                owner: window,
                vpn: controller,
                reducedMotion: Qt.binding(() => window.reducedMotion)
            })
        }
        const target = loader.item as Window
        target.show()
        target.raise()
        target.requestActivate()
    }

    FontLoader { id: manrope; source: "qrc:/OrvikVPN/assets/Manrope.ttf" }
    // The heavier weights the window uses, so demi-bold, bold and extra-bold texts get their
    // real faces. Each face costs start-up time, so the unused light ones are not shipped.
    FontLoader { source: "qrc:/OrvikVPN/assets/Manrope-SemiBold.ttf" }
    FontLoader { source: "qrc:/OrvikVPN/assets/Manrope-Bold.ttf" }
    FontLoader { source: "qrc:/OrvikVPN/assets/Manrope-ExtraBold.ttf" }

    Controller { id: controller }

    ColumnLayout {
        id: page

        objectName: "page"
        anchors.fill: parent
        anchors.leftMargin: Math.max(22, (window.width - 660) / 2)
        anchors.rightMargin: Math.max(22, (window.width - 660) / 2)
        anchors.topMargin: 18
        anchors.bottomMargin: 14
        spacing: window.height < 740 ? 12 : 16

        opacity: window.pageReady ? 1 : 0
        transform: Translate {
            y: window.pageReady ? 0 : 14
            Behavior on y { NumberAnimation { duration: window.motion(320); easing.type: Easing.OutCubic } }
        }
        Behavior on opacity { NumberAnimation { duration: window.motion(320); easing.type: Easing.OutCubic } }

        Image {
            Layout.preferredWidth: 178
            Layout.preferredHeight: 46
            source: "qrc:/OrvikVPN/assets/orvik-brand.png"
            fillMode: Image.PreserveAspectFit
            horizontalAlignment: Image.AlignLeft
            verticalAlignment: Image.AlignVCenter
            smooth: true
            mipmap: true
            asynchronous: true
            Accessible.role: Accessible.Graphic
            Accessible.name: "OrvikVPN"
        }

        HeroPanel {
            Layout.fillWidth: true
            Layout.preferredHeight: window.height < 740 ? 230 : window.compact ? 290 : 326
            vpn: controller
            reducedMotion: window.reducedMotion
            windowVisible: window.visible
            serverCount: locations.count
            headlineSize: window.height < 740 ? 27 : window.compact ? 30 : 34
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 10

            ShortcutButton {
                objectName: "appsButton"
                iconName: "apps"
                title: "Приложения"
                detail: "Маршруты процессов"
                onClicked: {
                    controller.refreshProcesses()
                    window.showWindow(appWindowLoader, "AppWindow.qml")
                }
            }

            ShortcutButton {
                objectName: "sitesButton"
                iconName: "globe"
                title: "Сайты без VPN"
                detail: "Прямое соединение"
                onClicked: window.showWindow(siteWindowLoader, "SiteWindow.qml")
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Label {
                text: "Выберите свой маршрут"
                color: colors.text
                font.pixelSize: 16
                font.bold: true
            }

            Item { Layout.fillWidth: true }

            IconButton {
                objectName: "refreshSubscriptionButton"
                iconName: "refresh"
                enabled: !controller.busy && !controller.subscriptionLoading
                Accessible.name: "Обновить подписку и проверить HTTPS через VPN"
                onClicked: controller.refreshSubscription()
            }

            Label {
                objectName: "serverCount"
                text: controller.connected ? "Отключитесь для смены" : locations.count + " профилей"
                color: colors.muted
                font.pixelSize: 10
            }
        }

        LocationList {
            id: locations

            objectName: "locations"
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.minimumHeight: 70
            vpn: controller
            reducedMotion: window.reducedMotion
        }

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 8

            Label {
                objectName: "footerNotice"
                textFormat: Text.PlainText
                Layout.fillWidth: true
                // A subscription near or past its end stays in view.
                visible: controller.hasError || controller.busy || controller.subscriptionWarning
                text: controller.subscriptionNotice + (controller.hasError ? "\n" + controller.status : "")
                color: controller.hasError ? colors.danger
                                           : controller.subscriptionWarning ? colors.accent : colors.muted
                font.pixelSize: 10
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }

            ActionButton {
                objectName: "subscriptionButton"
                Layout.fillWidth: true
                reducedMotion: window.reducedMotion
                text: controller.hasError ? "Подписка и диагностика"
                                   : locations.count > 0 ? "Управление подпиской" : "Добавить подписку"
                iconName: locations.count > 0 ? "sliders" : "plus"
                primary: locations.count === 0
                onClicked: subscriptionPopup.open()
            }
        }
    }

    SubscriptionPopup {
        id: subscriptionPopup

        vpn: controller
        reducedMotion: window.reducedMotion
        cabinetHost: window.cabinetHost
        onReducedMotionToggled: reduced => window.reducedMotion = reduced
    }

    Loader { id: siteWindowLoader }
    Loader { id: appWindowLoader }

    Theme { id: colors }
}
