#include "app/startup.h"

// The desktop user runs the client directly; only sing-box needs privileges, which it
// gets from its own file capabilities, so there is nothing to do here.

namespace startup {

void setApplicationIdentity()
{
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
