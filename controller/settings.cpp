#include "controller/controller.h"

// Reads the plain settings at construction; arrives with the settings work.
void Controller::loadSettings()
{
}
