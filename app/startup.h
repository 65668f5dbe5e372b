#pragma once

class QWindow;

// Platform steps of the start-up sequence.
namespace startup {

// Groups the client's windows under one taskbar identity; must run before any window exists.
void setApplicationIdentity();

enum class Elevation {
    Continue,   // already elevated, or the platform needs no elevation
    Relaunched, // an elevated copy was started; this process ends with 0
    Refused,    // elevation refused or failed after the user was told; ends with 1
};

Elevation ensureElevated();

// Gives the native window the executable's own icons where the platform has them.
void setNativeWindowIcons(QWindow* window);

} // namespace startup
