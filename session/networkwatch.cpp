#include "controller/controller.h"

// The 45-second watch arrives with the connection work.
void Controller::onWatchTick()
{
}
