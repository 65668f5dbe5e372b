pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import OrvikVPN

// The subscription popup's content: the link, its notices and errors, and the motion switch.
ColumnLayout {
    id: form

    required property SubscriptionPopup popup

    spacing: 14

    Connections {
        target: form.popup
        function onOpened() { subscriptionUrl.forceActiveFocus() }
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
            onClicked: form.popup.close()
        }
    }

    Label {
        Layout.fillWidth: true
        text: "Подписка · OrvikVPN " + Qt.application.version
        color: colors.accent
        font.pixelSize: 11
        font.bold: true
    }

    // What the service says about the account, when it says anything.
    Label {
        objectName: "accountInfo"
        textFormat: Text.PlainText
        Layout.fillWidth: true
        visible: text.length > 0
        text: {
            let lines = form.popup.vpn.subscriptionTitle
            const traffic = form.popup.vpn.subscriptionTraffic
            const expiry = form.popup.vpn.subscriptionExpiry
            if (traffic.length > 0)
                lines += (lines.length > 0 ? "\n" : "") + "Трафик: " + traffic
            if (expiry.length > 0)
                lines += (lines.length > 0 ? "\n" : "") + "Действует " + expiry
            return lines
        }
        color: form.popup.vpn.subscriptionWarning ? colors.accent : colors.text
        font.pixelSize: 12
        wrapMode: Text.Wrap
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
        placeholderText: "https://" + form.popup.cabinetHost + "/s/.../"
        Accessible.name: "HTTPS-ссылка подписки"
        onAccepted: {
            const url = form.popup.linkToImport(text, form.popup.vpn.busy, form.popup.vpn.connected)
            if (url.length > 0)
                form.popup.vpn.importSubscription(url)
        }
    }

    ActionButton {
        objectName: "importButton"
        Layout.fillWidth: true
        reducedMotion: form.popup.reducedMotion
        primary: true
        iconName: "refresh"
        text: form.popup.vpn.subscriptionLoading ? "Обновление..." : "Обновить профили"
        enabled: !form.popup.vpn.busy && !form.popup.vpn.subscriptionLoading
        onClicked: {
            const url = subscriptionUrl.text.trim()
            if (url.length > 0)
                form.popup.vpn.importSubscription(url)
            else
                form.popup.vpn.refreshSubscription()
        }
    }

    Label {
        objectName: "popupNotice"
        textFormat: Text.PlainText
        Layout.fillWidth: true
        text: form.popup.vpn.subscriptionNotice + (form.popup.vpn.hasError ? "\n" + form.popup.vpn.status : "")
        color: form.popup.vpn.hasError ? colors.danger
                                       : form.popup.vpn.subscriptionWarning ? colors.accent : colors.muted
        font.pixelSize: 11
        wrapMode: Text.Wrap
    }

    ActionButton {
        objectName: "copyErrorButton"
        Layout.fillWidth: true
        reducedMotion: form.popup.reducedMotion
        visible: form.popup.vpn.hasError
        text: "Скопировать ошибку"
        iconName: "plus"
        onClicked: form.popup.vpn.copyLastError()
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
        checked: form.popup.reducedMotion
        Accessible.name: text
        onToggled: form.popup.reducedMotionToggled(checked)

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
                Behavior on x { NumberAnimation { duration: form.popup.reducedMotion ? 0 : 140 } }
            }
        }

        contentItem: Label {
            leftPadding: motionSwitch.indicator.width + motionSwitch.spacing
            text: motionSwitch.text
            color: colors.text
            verticalAlignment: Text.AlignVCenter
        }
    }

    Theme { id: colors }
}
