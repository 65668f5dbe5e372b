#include "controller/controller.h"

// The latency queue arrives with the connection work.

void Controller::pingServer(int index)
{
    Q_UNUSED(index);
}

void Controller::pingAllServers()
{
}

void Controller::processPingQueue()
{
}

void Controller::cancelPings()
{
    m_pingQueue.clear();
}
