#pragma once

// Win32 parts of start-up, free of Qt so they can be tested on their own.
namespace win32 {

void setAppUserModelId();

// True only when the token can be opened and queried and reports elevation.
bool isProcessElevated();
bool isTokenElevated(void* token);

// Starts this executable again with the "runas" verb, without arguments.
bool relaunchElevated();

void showElevationError();

// What start-up does about elevation, as startup::Elevation: continue when elevated, otherwise
// relaunch elevated, and when that fails tell the user and refuse.
enum class Elevation { Continue, Relaunched, Refused };
struct ElevationSteps
{
    bool (*isElevated)();
    bool (*relaunch)();
    void (*tellRefused)();
};
Elevation ensureElevated(const ElevationSteps& steps = {isProcessElevated, relaunchElevated,
                                                        showElevationError});

// Sends the executable's icon group 1 at the large and small system sizes to the window.
void setWindowIcons(void* hwnd);

} // namespace win32
