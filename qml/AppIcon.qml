import QtQuick

Canvas {
    id: icon

    property string name: "globe"
    property color color: "#a8bcc4"

    implicitWidth: 24
    implicitHeight: 24
    Accessible.ignored: true

    onNameChanged: requestPaint()
    onColorChanged: requestPaint()
    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()

    onPaint: {
        const ctx = getContext("2d")
        ctx.reset()
        ctx.scale(width / 24, height / 24)
        ctx.strokeStyle = icon.color
        ctx.fillStyle = icon.color
        ctx.lineWidth = 1.6
        ctx.lineCap = "round"
        ctx.lineJoin = "round"
        ctx.beginPath()
        ctx.moveTo(21, 12)
        ctx.arc(12, 12, 9, 0, 2 * Math.PI)
        ctx.moveTo(3, 12)
        ctx.lineTo(21, 12)
        ctx.moveTo(12, 3)
        ctx.bezierCurveTo(5, 9, 5, 15, 12, 21)
        ctx.moveTo(12, 3)
        ctx.bezierCurveTo(19, 9, 19, 15, 12, 21)
        ctx.stroke()
    }
}
