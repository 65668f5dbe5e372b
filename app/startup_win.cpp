#include "app/startup.h"

#include "app/startup_win32.h"

#include <QWindow>

namespace startup {

void setApplicationIdentity()
{
    win32::setAppUserModelId();
}

static_assert(int(Elevation::Continue) == int(win32::Elevation::Continue) &&
              int(Elevation::Relaunched) == int(win32::Elevation::Relaunched) &&
              int(Elevation::Refused) == int(win32::Elevation::Refused));

Elevation ensureElevated()
{
    return Elevation(win32::ensureElevated());
}

void setNativeWindowIcons(QWindow* window)
{
    if (window)
        win32::setWindowIcons(reinterpret_cast<void*>(window->winId()));
}

} // namespace startup
