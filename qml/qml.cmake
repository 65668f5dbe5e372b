# The QML module "OrvikVPN" 1.0, compiled into the library under the resource prefix
# "/OrvikVPN/": qml/ holds the documents, qml/assets/ the pictures, font and icons.
set(ORVIK_QML_ASSETS
    qml/assets/orvik.ico
    qml/assets/orvik-app-icon.png
    qml/assets/orvik-brand.png
    qml/assets/hero.jpg
    qml/assets/warsaw.jpg
    qml/assets/amsterdam.jpg
    qml/assets/coast.jpg
    qml/assets/forest.jpg
    qml/assets/Manrope.ttf
    qml/assets/Manrope-SemiBold.ttf
    qml/assets/Manrope-Bold.ttf
    qml/assets/Manrope-ExtraBold.ttf
    qml/assets/OFL.txt
)
foreach(asset IN LISTS ORVIK_QML_ASSETS)
    string(REGEX REPLACE "^qml/" "" alias "${asset}")
    set_source_files_properties(${asset} PROPERTIES QT_RESOURCE_ALIAS ${alias})
endforeach()

# The window's parts: found by the documents beside them, not types of the module.
set(ORVIK_QML_PARTS
    qml/ActionButton.qml
    qml/InputField.qml
    qml/IconButton.qml
    qml/CountryFlag.qml
    qml/CornerMask.qml
    qml/ShortcutButton.qml
    qml/ModeButton.qml
    qml/HeroPanel.qml
    qml/LocationList.qml
    qml/LocationRow.qml
    qml/LocationName.qml
    qml/LatencyButton.qml
    qml/SubscriptionPopup.qml
    qml/SubscriptionForm.qml
    qml/SiteWindow.qml
    qml/AppWindow.qml
)
set_source_files_properties(${ORVIK_QML_PARTS} PROPERTIES QT_QML_SKIP_QMLDIR_ENTRY TRUE)

qt_add_qml_module(orvik
    URI OrvikVPN
    VERSION 1.0
    RESOURCE_PREFIX /
    NO_PLUGIN
    TYPEINFO OrvikVPN.qmltypes
    # The server model's type, for the tools that check the documents.
    DEPENDENCIES QtQml.Models
    OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/qml/OrvikVPN
    QML_FILES
        qml/Main.qml
        qml/Theme.qml
        qml/AppIcon.qml
        ${ORVIK_QML_PARTS}
    RESOURCES
        ${ORVIK_QML_ASSETS}
)
# The generated registration includes each QML_ELEMENT header by its file name alone.
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/orvik_qmltyperegistrations.cpp
    PROPERTIES INCLUDE_DIRECTORIES ${CMAKE_CURRENT_SOURCE_DIR}/controller)
