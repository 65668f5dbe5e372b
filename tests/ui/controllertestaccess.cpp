#include "tests/ui/controllertestaccess.h"

#include "controller/controller.h"

void ControllerTestAccess::setServers(Controller& controller, const QVariantList& servers,
                                      int selectedRow)
{
    controller.m_serverModel.beginReplace();
    controller.m_servers = servers;
    controller.m_serverModel.endReplace();
    controller.m_selectedRow = selectedRow;
    emit controller.serversChanged();
    emit controller.selectedChanged();
}

void ControllerTestAccess::setServerField(Controller& controller, int row, const QString& key,
                                          const QVariant& value)
{
    QVariantMap entry = controller.m_servers.at(row).toMap();
    entry.insert(key, value);
    controller.m_servers[row] = entry;
    controller.m_serverModel.rowsUpdated(row, row);
    emit controller.serversChanged();
}

void ControllerTestAccess::setConnecting(Controller& controller, bool connecting)
{
    controller.m_connecting = connecting;
    if (connecting)
        controller.m_connected = false;
    emit controller.connectedChanged();
    emit controller.busyChanged();
    emit controller.connectingChanged();
}

void ControllerTestAccess::setConnected(Controller& controller, bool connected)
{
    controller.m_connected = connected;
    if (connected)
        controller.m_connecting = false;
    emit controller.connectedChanged();
    emit controller.busyChanged();
    emit controller.connectingChanged();
}

void ControllerTestAccess::setSubscription(Controller& controller, const QString& notice,
                                           bool loading)
{
    controller.m_subscriptionNotice = notice;
    controller.m_subscriptionLoading = loading;
    emit controller.serversChanged();
}

void ControllerTestAccess::setLastError(Controller& controller, const QString& text)
{
    controller.m_lastError = text;
}

void ControllerTestAccess::setReconnectPending(Controller& controller, bool pending)
{
    controller.m_reconnectPending = pending;
}

bool ControllerTestAccess::reconnectPending(const Controller& controller)
{
    return controller.m_reconnectPending;
}

void ControllerTestAccess::setProcesses(Controller& controller, const QVariantList& processes,
                                        const QStringList& selected)
{
    controller.m_allProcesses = processes;
    controller.m_selectedProcesses = selected;
    emit controller.processesChanged();
}

void ControllerTestAccess::reset(Controller& controller)
{
    setConnected(controller, false);
    setConnecting(controller, false);
    setServers(controller, {}, 0);
    setSubscription(controller, QString(), false);
    setProcesses(controller, {}, {});
    controller.setStatus(QStringLiteral("Отключено"));
    controller.setBypassDomainError(QString());
    controller.setProcessFilter(QString());
    controller.setProcessRouteMode(QStringLiteral("exclude"));
    controller.m_lastError.clear();
}
