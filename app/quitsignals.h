#pragma once

#include <functional>

// Ends the client through `onQuit` when the session manager, a service manager or a
// terminal asks the process to stop, instead of dying with the cores' files left behind.
void installQuitSignalHandlers(std::function<void()> onQuit);
