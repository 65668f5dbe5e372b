import QtQuick
import QtQuick.Controls

// The floor for the start-up figures: a bare window with a list of 50 rows.
ApplicationWindow {
    width: 500
    height: 860
    visible: true
    title: "floor"

    ListView {
        anchors.fill: parent
        model: 50
        delegate: Label {
            required property int index
            width: ListView.view.width
            height: 76
            text: "Row " + index
        }
    }
}
