import QtQuick

// One of the window's line icons, drawn by name in a 24 × 24 grid that scales with the item.
// An unknown name draws the globe.
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

    // A full circle as its own sub-path, started at its rightmost point so that no line
    // joins it to the previous figure.
    function circle(ctx, x, y, r) {
        ctx.moveTo(x + r, y)
        ctx.arc(x, y, r, 0, 2 * Math.PI, false)
    }

    function line(ctx, points) {
        ctx.moveTo(points[0], points[1])
        for (let i = 2; i < points.length; i += 2)
            ctx.lineTo(points[i], points[i + 1])
    }

    function figure(ctx) {
        const pi = Math.PI
        switch (icon.name) {
        case "power":
            ctx.arc(12, 13, 8, -0.32 * pi, 1.32 * pi, false)
            line(ctx, [12, 2, 12, 12])
            break
        case "shield":
            line(ctx, [12, 2, 20, 5, 20, 11])
            ctx.quadraticCurveTo(20, 18, 12, 22)
            ctx.quadraticCurveTo(4, 18, 4, 11)
            ctx.lineTo(4, 5)
            ctx.closePath()
            line(ctx, [8, 11, 11, 14, 16, 9])
            break
        case "arrow":
            line(ctx, [5, 12, 19, 12])
            line(ctx, [14, 7, 19, 12, 14, 17])
            break
        case "close":
            line(ctx, [6, 6, 18, 18])
            line(ctx, [18, 6, 6, 18])
            break
        case "check":
            line(ctx, [5, 12, 10, 17, 19, 7])
            break
        case "plus":
            line(ctx, [12, 5, 12, 19])
            line(ctx, [5, 12, 19, 12])
            break
        case "apps":
            ctx.rect(3, 3, 7, 7)
            ctx.rect(14, 3, 7, 7)
            ctx.rect(3, 14, 7, 7)
            ctx.rect(14, 14, 7, 7)
            break
        case "sliders":
            line(ctx, [4, 7, 8, 7])
            line(ctx, [13, 7, 20, 7])
            line(ctx, [4, 17, 12, 17])
            line(ctx, [17, 17, 20, 17])
            circle(ctx, 10.5, 7, 2.5)
            circle(ctx, 14.5, 17, 2.5)
            break
        case "refresh":
            ctx.arc(12, 12, 8, 0.2 * pi, 1.8 * pi, false)
            line(ctx, [20, 3, 20, 8, 15, 8])
            break
        case "search":
            circle(ctx, 10, 10, 6)
            line(ctx, [15, 15, 21, 21])
            break
        default: // "globe"
            circle(ctx, 12, 12, 9)
            line(ctx, [3, 12, 21, 12])
            ctx.moveTo(12, 3)
            ctx.bezierCurveTo(5, 9, 5, 15, 12, 21)
            ctx.moveTo(12, 3)
            ctx.bezierCurveTo(19, 9, 19, 15, 12, 21)
            break
        }
    }

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
        figure(ctx)
        ctx.stroke()
    }
}
