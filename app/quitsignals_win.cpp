#include "app/quitsignals.h"

// A GUI process on Windows gets no console signals; the session end closes the job
// object, which takes the cores with it.
void installQuitSignalHandlers(std::function<void()> onQuit)
{
    (void)onQuit;
}
