pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import OrvikVPN

// The subscription popup; its form (SubscriptionForm.qml) is made on first opening.
Popup {
    id: popup

    required property Controller vpn
    required property bool reducedMotion
    // The host of the web cabinet where users find their subscription link.
    required property string cabinetHost

    // The user turned the motion switch.
    signal reducedMotionToggled(bool reduced)

    // The trimmed link that Enter in the link field would import, or "" when Enter is ignored.
    function linkToImport(text, busy, connected) {
        const url = String(text).trim()
        return url.length > 0 && !busy && !connected ? url : ""
    }

    objectName: "subscriptionPopup"
    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(parent.width - 40, 420)
    padding: 24
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside

    Overlay.modal: Rectangle { color: "#d0081014" }

    enter: Transition {
        NumberAnimation { property: "opacity"; from: 0; to: 1; duration: popup.reducedMotion ? 0 : 180 }
    }
    exit: Transition {
        NumberAnimation { property: "opacity"; from: 1; to: 0; duration: popup.reducedMotion ? 0 : 120 }
    }

    background: Rectangle {
        color: colors.panel
        radius: 20
        border.color: colors.border
    }

    // The form is made when the popup first opens, not at start-up.
    contentItem: Loader {}
    onAboutToShow: {
        const form = contentItem as Loader
        if (!form.item)
            form.setSource("SubscriptionForm.qml", { popup: popup })
    }

    Theme { id: colors }
}
