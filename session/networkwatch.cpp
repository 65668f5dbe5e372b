#include "session/networkwatch.h"

#include "controller/controller.h"

bool isSameNetwork(const PhysicalAdapter& bound, const PhysicalAdapter& current)
{
    // A new gateway alone leaves the cores' binding valid.
    return bound.interfaceName == current.interfaceName && bound.ipv4Address == current.ipv4Address;
}

void Controller::onWatchTick()
{
    const PhysicalAdapter current = selectPhysicalAdapter();
    if (!m_session.isRunning()) {
        startVerification(); // does nothing without a tunnel
        return;
    }
    // The cores are bound to the adapter chosen at start: a new one needs a new tunnel.
    if (isSameNetwork(m_session.adapter(), current))
        startVerification();
    else
        restartTunnel(QStringLiteral("Сеть изменилась. Переподключение..."));
}
