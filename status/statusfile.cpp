#include "controller/controller.h"

// The status file arrives with the state work.
void Controller::writeStatusFile()
{
}
