#include "app/startup.h"

#include <QGuiApplication>

// The desktop user runs the client directly; only sing-box needs privileges, which it
// gets from its own file capabilities, so there is nothing to do here.

namespace startup {

void setApplicationIdentity()
{
    // Ties the windows to the installed desktop entry (its name and icon in docks and
    // window lists, the Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.orvikvpn.OrvikVPN"));
}

Elevation ensureElevated()
{
    return Elevation::Continue;
}

void setNativeWindowIcons(QWindow* window)
{
    (void)window;
}

} // namespace startup
