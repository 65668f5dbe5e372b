import QtQuick

// The window's colours and the pictures that illustrate a location.
QtObject {
    readonly property color bg: "#0b1418"
    readonly property color panel: "#121f25"
    readonly property color panelRaised: "#1a2b33"
    readonly property color panelSelected: "#1c3537"
    readonly property color text: "#f1f7f7"
    readonly property color muted: "#a8bcc4"
    readonly property color subtle: "#92a8b2"
    readonly property color accent: "#9df2d0"
    readonly property color accentSoft: "#203d36"
    readonly property color accentForeground: "#102b26"
    readonly property color border: "#30464f"
    readonly property color danger: "#ffadb0"
    readonly property color dangerSoft: "#40272e"

    function pictureFor(name: var): string {
        const text = name === undefined || name === null ? "" : String(name)
        if (text.indexOf("Польша") >= 0)
            return "qrc:/OrvikVPN/assets/warsaw.jpg"
        if (text.indexOf("Нидерланды") >= 0)
            return "qrc:/OrvikVPN/assets/amsterdam.jpg"
        return "qrc:/OrvikVPN/assets/hero.jpg"
    }
}
