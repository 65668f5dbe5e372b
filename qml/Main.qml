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
    readonly property color stateColor: vpn.hasError ? colors.danger : colors.accent
    // Deployment value: the host of the web cabinet where users find their subscription
    // link, shown in the link field's placeholder.
    property string cabinetHost: "my.orvikvpn.com"
    // The core that application routing needs, as the user sees it beside the client.
    readonly property string coreFileName: Qt.platform.os === "windows" ? "sing-box.exe" : "sing-box"

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

    // Every duration goes through here so that reduced motion stops all of them at once.
    function motion(milliseconds) {
        return reducedMotion ? 0 : milliseconds
    }

    function pictureFor(name) {
        const text = name === undefined || name === null ? "" : String(name)
        if (text.indexOf("Польша") >= 0)
            return "qrc:/OrvikVPN/assets/warsaw.jpg"
        if (text.indexOf("Нидерланды") >= 0)
            return "qrc:/OrvikVPN/assets/amsterdam.jpg"
        return "qrc:/OrvikVPN/assets/hero.jpg"
    }

    function latencyText(entry) {
        if (entry.pinging)
            return "…"
        if (entry.latency >= 0)
            return "HTTPS " + entry.latency + " мс"
        if (entry.latency === -1)
            return "Нет связи"
        return "ПРОВЕРИТЬ"
    }

    // The trimmed link that Enter in the link field would import, or "" when Enter is ignored.
    function linkToImport(text, busy, connected) {
        const url = String(text).trim()
        return url.length > 0 && !busy && !connected ? url : ""
    }

    function routeExplanation(available, mode) {
        if (!available)
            return "Для маршрутизации приложений нужен " + coreFileName + " рядом с приложением."
        if (mode === "include")
            return "Выбранные приложения будут работать через VPN. Остальные приложения останутся напрямую."
        return "Выбранные приложения будут работать напрямую. Остальные приложения пойдут через VPN."
    }

    function addDomainFrom(field) {
        if (vpn.addBypassDomain(field.text))
            field.clear()
    }

    function showWindow(loader) {
        loader.active = true
        const target = loader.item
        target.show()
        target.raise()
        target.requestActivate()
    }

    Theme { id: colors }

    FontLoader { id: manrope; source: "qrc:/OrvikVPN/assets/Manrope.ttf" }
    // The heavier weights the window uses, so demi-bold, bold and extra-bold texts get their
    // real faces. Each face costs start-up time, so the unused light ones are not shipped.
    FontLoader { source: "qrc:/OrvikVPN/assets/Manrope-SemiBold.ttf" }
    FontLoader { source: "qrc:/OrvikVPN/assets/Manrope-Bold.ttf" }
    FontLoader { source: "qrc:/OrvikVPN/assets/Manrope-ExtraBold.ttf" }

    Controller { id: vpn }

    // ---- Components ------------------------------------------------------------------------

    component ActionButton: Button {
        id: action

        property string iconName: "arrow"
        property bool primary: false
        property bool destructive: false

        implicitHeight: 46
        implicitWidth: actionLabel.implicitWidth + 64
        padding: 12
        opacity: enabled ? 1 : 0.45
        Accessible.name: text

        background: Rectangle {
            radius: 12
            color: action.primary ? (action.pressed ? "#7cdab5" : colors.accent)
                                  : (action.pressed || action.hovered ? colors.panelRaised : colors.panel)
            border.color: action.activeFocus ? colors.accent : colors.border
            border.width: action.activeFocus ? 2 : 1
            Behavior on color { ColorAnimation { duration: window.motion(140) } }
            Behavior on border.color { ColorAnimation { duration: window.motion(140) } }
        }

        contentItem: Item {
            implicitWidth: actionRow.implicitWidth
            implicitHeight: actionRow.implicitHeight

            RowLayout {
                id: actionRow
                anchors.centerIn: parent
                width: Math.min(implicitWidth, parent.width)
                spacing: 9

                AppIcon {
                    Layout.preferredWidth: 18
                    Layout.preferredHeight: 18
                    name: action.iconName
                    color: action.primary ? colors.accentForeground
                                          : action.destructive ? colors.danger : colors.accent
                }

                Label {
                    id: actionLabel
                    Layout.fillWidth: true
                    text: action.text
                    color: action.primary ? colors.accentForeground
                                          : action.destructive ? colors.danger : colors.text
                    font.weight: Font.DemiBold
                    elide: Text.ElideRight
                }
            }
        }
    }

    component InputField: TextField {
        id: input

        implicitHeight: 46
        color: colors.text
        placeholderTextColor: colors.subtle
        selectionColor: colors.accent
        selectedTextColor: colors.accentForeground
        selectByMouse: true
        leftPadding: 14
        rightPadding: 14

        background: Rectangle {
            radius: 12
            color: colors.bg
            border.color: input.activeFocus ? colors.accent : colors.border
            border.width: input.activeFocus ? 2 : 1
        }
    }

    component IconButton: Button {
        id: iconButton

        property string iconName: "close"

        implicitWidth: 44
        implicitHeight: 44
        padding: 12
        opacity: enabled ? 1 : 0.45

        background: Rectangle {
            radius: 12
            color: iconButton.hovered || iconButton.pressed ? colors.panelRaised : "transparent"
            border.color: iconButton.activeFocus ? colors.accent : "transparent"
        }

        contentItem: AppIcon {
            name: iconButton.iconName
            color: colors.muted
        }
    }

    component CountryFlag: Item {
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
                required property int index
                required property string modelData
                y: index * height
                width: flag.width
                height: flag.height / flag.bands.length
                clip: true

                Rectangle {
                    y: -parent.y
                    width: flag.width
                    height: flag.height
                    radius: 4
                    color: parent.modelData
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
    }

    // Covers the corners of a clipped picture outside its rounded frame with the colour
    // around it: a border as wide as the radius, lying just outside the picture's edges,
    // whose inner edge is the rounded frame.
    component CornerMask: Rectangle {
        property real cornerRadius: 8

        anchors.fill: parent
        anchors.margins: -cornerRadius
        radius: cornerRadius * 2
        color: "transparent"
        border.width: cornerRadius
    }

    component ShortcutButton: Button {
        id: shortcut

        property string iconName
        property string title
        property string detail

        Layout.fillWidth: true
        Layout.preferredWidth: 1
        implicitHeight: 70
        padding: 14
        Accessible.name: title

        background: Rectangle {
            radius: 14
            color: shortcut.hovered || shortcut.pressed ? colors.panelRaised : colors.panel
            border.color: shortcut.activeFocus ? colors.accent : colors.border
        }

        contentItem: RowLayout {
            spacing: 12

            AppIcon {
                Layout.preferredWidth: 22
                Layout.preferredHeight: 22
                name: shortcut.iconName
                color: colors.accent
            }

            ColumnLayout {
                Layout.fillWidth: true
                spacing: 2

                Label {
                    Layout.fillWidth: true
                    text: shortcut.title
                    color: colors.text
                    font.pixelSize: 12
                    font.bold: true
                    elide: Text.ElideRight
                }

                Label {
                    Layout.fillWidth: true
                    text: shortcut.detail
                    color: colors.muted
                    font.pixelSize: 9
                    elide: Text.ElideRight
                }
            }
        }
    }

    component ModeButton: Button {
        id: mode

        property string value
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
    }

    // ---- Main column -----------------------------------------------------------------------

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

        Rectangle {
            id: hero

            Layout.fillWidth: true
            Layout.preferredHeight: window.height < 740 ? 230 : window.compact ? 290 : 326
            radius: 20
            color: colors.panelRaised
            clip: true

            Image {
                anchors.fill: parent
                source: window.pictureFor(vpn.selectedName)
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
                        color: window.stateColor
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
                    text: vpn.connecting ? "На пути\nк свободе."
                                         : vpn.connected ? "Ваш мир.\nБез границ."
                                                         : "Ближе к миру.\nДальше от шума."
                    color: colors.text
                    font.pixelSize: window.height < 740 ? 27 : window.compact ? 30 : 34
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
                        text: vpn.connecting ? "Устанавливаем туннель…"
                                             : vpn.hasError ? "Не удалось подключиться"
                                                            : vpn.connected ? "Соединение защищено"
                                                                            : "Вы ещё не подключены"
                        color: vpn.connected || vpn.hasError ? window.stateColor : colors.text
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
                        text: vpn.connecting ? "Это займёт несколько секунд"
                                             : vpn.hasError ? "Повторите попытку или смените сервер"
                                                            : vpn.connected ? vpn.selectedName + " · " + vpn.selectedProtocol
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
                    readonly property string label: vpn.connecting ? "Подключение"
                                                  : vpn.connected ? "Отключить VPN"
                                                                  : vpn.hasError ? "Повторить подключение"
                                                                                 : "Подключить VPN"
                    readonly property bool spinning: vpn.connecting && window.visible && !window.reducedMotion

                    Layout.preferredWidth: 90
                    Layout.preferredHeight: 90
                    padding: 0
                    enabled: !vpn.busy && (vpn.connected || locations.count > 0)
                    opacity: enabled || vpn.busy ? 1 : 0.4
                    scale: pressed ? 0.95 : hovered ? 1.03 : 1
                    Accessible.name: label
                    Behavior on scale { NumberAnimation { duration: window.motion(160); easing.type: Easing.OutCubic } }

                    onClicked: vpn.toggleVpn()

                    ToolTip.visible: hovered
                    ToolTip.text: label

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
                            visible: vpn.connecting && !window.reducedMotion
                            opacity: 0.75

                            SequentialAnimation on opacity {
                                running: connectButton.spinning
                                loops: Animation.Infinite
                                NumberAnimation { from: 0.75; to: 0.08; duration: 760; easing.type: Easing.OutCubic }
                                NumberAnimation { from: 0.08; to: 0.75; duration: 760; easing.type: Easing.InCubic }
                            }
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
                            color: vpn.connected ? colors.accentSoft : vpn.hasError ? colors.dangerSoft : colors.accent
                            border.width: 2
                            border.color: connectButton.activeFocus ? colors.text
                                        : vpn.connected || vpn.hasError ? window.stateColor : colors.accent
                            Behavior on color { ColorAnimation { duration: window.motion(300) } }
                        }
                    }

                    contentItem: Item {
                        AppIcon {
                            id: connectIcon

                            objectName: "connectIcon"
                            anchors.centerIn: parent
                            width: 32
                            height: 32
                            name: vpn.connecting ? "refresh" : "power"
                            color: vpn.connected || vpn.hasError ? window.stateColor : colors.accentForeground

                            NumberAnimation on rotation {
                                running: connectButton.spinning
                                from: 0
                                to: 360
                                duration: 1100
                                loops: Animation.Infinite
                                onRunningChanged: if (!running) connectIcon.rotation = 0
                            }
                        }
                    }
                }
            }
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
                    vpn.refreshProcesses()
                    window.showWindow(appWindowLoader)
                }
            }

            ShortcutButton {
                objectName: "sitesButton"
                iconName: "globe"
                title: "Сайты без VPN"
                detail: "Прямое соединение"
                onClicked: window.showWindow(siteWindowLoader)
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
                enabled: !vpn.busy && !vpn.subscriptionLoading
                Accessible.name: "Обновить подписку и проверить HTTPS через VPN"
                onClicked: vpn.refreshSubscription()
            }

            Label {
                objectName: "serverCount"
                text: vpn.connected ? "Отключитесь для смены" : locations.count + " профилей"
                color: colors.muted
                font.pixelSize: 10
            }
        }

        ListView {
            id: locations

            objectName: "locations"
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.minimumHeight: 70
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
                    Behavior on opacity { NumberAnimation { duration: window.motion(200) } }
                }
            }

            // A radio button, so assistive technology announces the choice and its state.
            delegate: RadioButton {
                id: location

                required property var modelData
                required property int index
                readonly property bool selected: index === vpn.selectedRow

                objectName: "location"
                width: ListView.view.width
                height: 76
                padding: 11
                indicator: null
                autoExclusive: false
                checked: selected
                enabled: !vpn.busy
                scale: selected ? 1 : 0.992
                Behavior on scale { NumberAnimation { duration: window.motion(160); easing.type: Easing.OutCubic } }

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
                    id: locationBackground
                    radius: 14
                    color: location.selected ? colors.panelSelected
                                             : location.hovered ? colors.panelRaised : colors.panel
                    border.color: location.selected || location.activeFocus ? colors.accent : colors.border
                    border.width: location.activeFocus ? 2 : 1
                    Behavior on color { ColorAnimation { duration: window.motion(180) } }
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
                            source: window.pictureFor(location.modelData.name)
                            sourceSize.width: 150
                            fillMode: Image.PreserveAspectCrop
                            asynchronous: true
                            Accessible.ignored: true
                        }

                        Rectangle {
                            anchors.fill: parent
                            color: "#400b1418"
                        }

                        CornerMask { cornerRadius: 8; border.color: locationBackground.color }

                        CountryFlag {
                            anchors.centerIn: parent
                            code: location.modelData.countryCode || "VPN"
                        }
                    }

                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 5

                        // The name keeps its width and gives way (elided) only when the
                        // badge needs the room.
                        Item {
                            Layout.fillWidth: true
                            implicitHeight: locationName.implicitHeight

                            Label {
                                id: locationName
                                textFormat: Text.PlainText
                                width: Math.min(implicitWidth,
                                                parent.width - (selectedBadge.visible ? selectedBadge.implicitWidth + 8 : 0))
                                text: location.modelData.name
                                color: colors.text
                                font.pixelSize: 14
                                font.bold: true
                                elide: Text.ElideRight
                            }

                            Label {
                                id: selectedBadge
                                anchors.left: locationName.right
                                anchors.leftMargin: 8
                                anchors.verticalCenter: locationName.verticalCenter
                                visible: location.selected
                                text: "ВЫБРАНО"
                                color: colors.accent
                                font.pixelSize: 8
                                font.letterSpacing: 0.8
                                font.bold: true
                            }
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

                    Button {
                        id: latency

                        objectName: "latencyButton"
                        readonly property bool measured: location.modelData.latency >= 0

                        Layout.preferredWidth: 92
                        Layout.preferredHeight: 36
                        padding: 0
                        enabled: !location.modelData.pinging
                        text: window.latencyText(location.modelData)
                        Accessible.name: text
                        onClicked: vpn.pingServer(location.index)

                        // A check error quotes the core, so the tip shows it as plain text.
                        ToolTip {
                            id: checkTip
                            objectName: "checkTip"
                            visible: latency.hovered
                            delay: 500
                            text: location.modelData.checkError
                                  ? location.modelData.checkError
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
                            Behavior on color { ColorAnimation { duration: window.motion(140) } }
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
                    }
                }
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
        }

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 8

            Label {
                objectName: "footerNotice"
                textFormat: Text.PlainText
                Layout.fillWidth: true
                visible: vpn.hasError || vpn.busy
                text: vpn.subscriptionNotice + (vpn.hasError ? "\n" + vpn.status : "")
                color: vpn.hasError ? colors.danger : colors.muted
                font.pixelSize: 10
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }

            ActionButton {
                objectName: "subscriptionButton"
                Layout.fillWidth: true
                text: vpn.hasError ? "Подписка и диагностика"
                                   : locations.count > 0 ? "Управление подпиской" : "Добавить подписку"
                iconName: locations.count > 0 ? "sliders" : "plus"
                primary: locations.count === 0
                onClicked: subscriptionPopup.open()
            }
        }
    }

    // ---- Subscription popup ----------------------------------------------------------------

    Popup {
        id: subscriptionPopup

        objectName: "subscriptionPopup"
        parent: Overlay.overlay
        anchors.centerIn: parent
        width: Math.min(window.width - 40, 420)
        padding: 24
        modal: true
        focus: true
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside

        // The content is made when the popup first opens, not at start-up.
        property bool used: false
        onAboutToShow: used = true
        onOpened: popupContent.item.focusLink()

        Overlay.modal: Rectangle { color: "#d0081014" }

        enter: Transition {
            NumberAnimation { property: "opacity"; from: 0; to: 1; duration: window.motion(180) }
        }
        exit: Transition {
            NumberAnimation { property: "opacity"; from: 1; to: 0; duration: window.motion(120) }
        }

        background: Rectangle {
            color: colors.panel
            radius: 20
            border.color: colors.border
        }

        contentItem: Loader {
            id: popupContent

            active: subscriptionPopup.used
            sourceComponent: ColumnLayout {
                spacing: 14

                function focusLink() {
                    subscriptionUrl.forceActiveFocus()
                }

                RowLayout {
                    Layout.fillWidth: true
                    spacing: 8

                    Label {
                        Layout.fillWidth: true
                        text: "Ваш доступ к миру"
                        color: colors.text
                        font.pixelSize: 21
                        font.bold: true
                        wrapMode: Text.Wrap
                    }

                    IconButton {
                        iconName: "close"
                        Accessible.name: "Закрыть настройки"
                        onClicked: subscriptionPopup.close()
                    }
                }

                Label {
                    Layout.fillWidth: true
                    text: "Подписка · OrvikVPN " + Qt.application.version
                    color: colors.accent
                    font.pixelSize: 11
                    font.bold: true
                }

                Label {
                    Layout.fillWidth: true
                    text: "Вставьте HTTPS-ссылку из личного кабинета.\nМы загрузим доступные вам локации."
                    color: colors.muted
                    font.pixelSize: 12
                    wrapMode: Text.Wrap
                }

                InputField {
                    id: subscriptionUrl

                    objectName: "subscriptionUrl"
                    Layout.fillWidth: true
                    // The link is the user's credential: kept out of input-method history.
                    inputMethodHints: Qt.ImhSensitiveData | Qt.ImhNoPredictiveText
                    placeholderText: "https://" + window.cabinetHost + "/s/.../"
                    Accessible.name: "HTTPS-ссылка подписки"
                    onAccepted: {
                        const url = window.linkToImport(text, vpn.busy, vpn.connected)
                        if (url.length > 0)
                            vpn.importSubscription(url)
                    }
                }

                ActionButton {
                    objectName: "importButton"
                    Layout.fillWidth: true
                    primary: true
                    iconName: "refresh"
                    text: vpn.subscriptionLoading ? "Обновление..." : "Обновить профили"
                    enabled: !vpn.busy && !vpn.subscriptionLoading
                    onClicked: {
                        const url = subscriptionUrl.text.trim()
                        if (url.length > 0)
                            vpn.importSubscription(url)
                        else
                            vpn.refreshSubscription()
                    }
                }

                Label {
                    objectName: "popupNotice"
                    textFormat: Text.PlainText
                    Layout.fillWidth: true
                    text: vpn.subscriptionNotice + (vpn.hasError ? "\n" + vpn.status : "")
                    color: vpn.hasError ? colors.danger : colors.muted
                    font.pixelSize: 11
                    wrapMode: Text.Wrap
                }

                ActionButton {
                    objectName: "copyErrorButton"
                    Layout.fillWidth: true
                    visible: vpn.hasError
                    text: "Скопировать ошибку"
                    iconName: "plus"
                    onClicked: vpn.copyLastError()
                }

                Rectangle {
                    Layout.fillWidth: true
                    Layout.preferredHeight: 1
                    color: colors.border
                }

                Switch {
                    id: motionSwitch

                    objectName: "reducedMotionSwitch"
                    Layout.fillWidth: true
                    text: "Уменьшить движение"
                    checked: window.reducedMotion
                    Accessible.name: text
                    onToggled: window.reducedMotion = checked

                    indicator: Rectangle {
                        x: motionSwitch.leftPadding
                        y: (motionSwitch.height - height) / 2
                        implicitWidth: 42
                        implicitHeight: 24
                        radius: 12
                        color: motionSwitch.checked ? colors.accent : "transparent"
                        border.color: motionSwitch.checked ? colors.accent
                                    : motionSwitch.activeFocus ? colors.accent : colors.border
                        border.width: motionSwitch.activeFocus ? 2 : 1

                        Rectangle {
                            x: motionSwitch.checked ? parent.width - width - 4 : 4
                            anchors.verticalCenter: parent.verticalCenter
                            width: 16
                            height: 16
                            radius: 8
                            color: motionSwitch.checked ? colors.accentForeground : colors.muted
                            Behavior on x { NumberAnimation { duration: window.motion(140) } }
                        }
                    }

                    contentItem: Label {
                        leftPadding: motionSwitch.indicator.width + motionSwitch.spacing
                        text: motionSwitch.text
                        color: colors.text
                        verticalAlignment: Text.AlignVCenter
                    }
                }
            }
        }
    }

    // ---- Site window -----------------------------------------------------------------------

    // Made on first use and then kept, so the window keeps its state between showings.
    Loader {
        id: siteWindowLoader

        active: false
        sourceComponent: ApplicationWindow {
            id: siteWindow

            objectName: "siteWindow"
            transientParent: window
            flags: Qt.Dialog
            width: 540
            height: 640
            minimumWidth: 460
            minimumHeight: 540
            title: "orvikVPN · Сайты без VPN"
            color: colors.bg
            font: window.font
            palette: window.palette
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
                        onAccepted: window.addDomainFrom(domainInput)
                    }

                    ActionButton {
                        objectName: "addDomainButton"
                        primary: true
                        iconName: "plus"
                        text: "Добавить"
                        onClicked: window.addDomainFrom(domainInput)
                    }
                }

                Label {
                    objectName: "domainError"
                    textFormat: Text.PlainText
                    Layout.fillWidth: true
                    visible: vpn.bypassDomainError.length > 0
                    text: vpn.bypassDomainError
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
                    model: vpn.bypassDomains
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
                                onClicked: vpn.removeBypassDomain(rule.modelData.domain)
                            }
                        }
                    }
                }
            }
        }
    }

    // ---- Application routing window --------------------------------------------------------

    // Made on first use and then kept, so the window keeps its state between showings.
    Loader {
        id: appWindowLoader

        active: false
        sourceComponent: ApplicationWindow {
            id: appWindow

            objectName: "appWindow"
            transientParent: window
            flags: Qt.Dialog
            width: 580
            height: 680
            minimumWidth: 460
            minimumHeight: 540
            title: "orvikVPN · Приложения"
            color: colors.bg
            font: window.font
            palette: window.palette
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
                        onClicked: vpn.refreshProcesses()
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
                    text: window.routeExplanation(vpn.processBypassAvailable, vpn.processRouteMode)
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
                        value: "exclude"
                        text: "Исключения"
                        Accessible.name: "Режим исключений: выбранные приложения напрямую"
                    }

                    ModeButton {
                        objectName: "includeModeButton"
                        value: "include"
                        text: "Белый список"
                        Accessible.name: "Белый список: только выбранные приложения через VPN"
                    }
                }

                Label {
                    objectName: "processCount"
                    text: (vpn.processRouteMode === "include" ? "Отмечено через VPN: " : "Отмечено напрямую: ")
                          + vpn.selectedProcessCount
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
                        vpn.processFilter = text
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
                        model = vpn.processes
                        Qt.callLater(restore)
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
                    Component.onCompleted: model = vpn.processes

                    onContentYChanged: remember()
                    onMovementEnded: remember()

                    Connections {
                        target: vpn
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
                        Behavior on color { ColorAnimation { duration: window.motion(150) } }
                        Behavior on border.color { ColorAnimation { duration: window.motion(150) } }

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
                                enabled: vpn.processBypassAvailable
                                opacity: enabled ? 1 : 0.45
                                Accessible.name: process.modelData.name
                                                 + (vpn.processRouteMode === "include" ? ": через VPN" : ": напрямую")
                                onToggled: {
                                    const wanted = checked
                                    // The controller's list is the truth; it replaces the model.
                                    checked = Qt.binding(() => process.selected)
                                    vpn.toggleProcessSelection(process.modelData.name, wanted)
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
        }
    }
}
