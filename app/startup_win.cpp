#include "app/startup.h"

#include "app/startup_win32.h"

#include <QWindow>

namespace startup {

void setApplicationIdentity()
{
    win32::setAppUserModelId();
}

Elevation ensureElevated()
{
    if (win32::isProcessElevated())
        return Elevation::Continue;
    // The switches of this run are deliberately not passed on to the elevated copy.
    if (win32::relaunchElevated())
        return Elevation::Relaunched;
    win32::showElevationError();
    return Elevation::Refused;
}

void setNativeWindowIcons(QWindow* window)
{
    if (window)
        win32::setWindowIcons(reinterpret_cast<void*>(window->winId()));
}

} // namespace startup
