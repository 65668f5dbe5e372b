#include "tests/support/controllertestaccess.h"

#include "controller/controller.h"

void ControllerTestAccess::setServers(Controller& controller, const QVariantList& servers,
                                      int selectedRow)
{
    controller.m_servers.replace(servers, selectedRow);
    controller.m_servers.notifyChanged();
    controller.m_servers.notifySelectedChanged();
}

void ControllerTestAccess::setServerField(Controller& controller, int row, const QString& key,
                                          const QVariant& value)
{
    QVariantMap entry = controller.m_servers.entries().at(row).toMap();
    entry.insert(key, value);
    controller.m_servers.setEntry(row, entry);
    controller.m_servers.rowsUpdated(row, row);
    controller.m_servers.notifyChanged();
}

void ControllerTestAccess::setConnecting(Controller& controller, bool connecting)
{
    ConnectionManager& connection = controller.m_connection;
    connection.m_connecting = connecting;
    connection.m_latency.setPaused(connecting);
    if (connecting)
        connection.m_connected = false;
    emit controller.connectedChanged();
    emit controller.busyChanged();
    emit controller.connectingChanged();
}

void ControllerTestAccess::setConnected(Controller& controller, bool connected)
{
    ConnectionManager& connection = controller.m_connection;
    connection.m_connected = connected;
    if (connected) {
        connection.m_connecting = false;
        connection.m_latency.setPaused(false);
    }
    emit controller.connectedChanged();
    emit controller.busyChanged();
    emit controller.connectingChanged();
}

void ControllerTestAccess::setSubscription(Controller& controller, const QString& notice,
                                           bool loading)
{
    controller.m_subscription.m_notice = notice;
    controller.m_subscription.m_loading = loading;
    emit controller.m_subscription.changed();
}

void ControllerTestAccess::setLastError(Controller& controller, const QString& text)
{
    controller.m_connection.m_lastError = text;
}

void ControllerTestAccess::setAccount(Controller& controller, const subscription::AccountInfo& account)
{
    controller.m_subscription.m_account = account;
    emit controller.m_subscription.changed();
}

void ControllerTestAccess::setReconnectPending(Controller& controller, bool pending)
{
    controller.m_connection.m_reconnectPending = pending;
}

bool ControllerTestAccess::reconnectPending(const Controller& controller)
{
    return controller.m_connection.m_reconnectPending;
}

void ControllerTestAccess::setProcesses(Controller& controller, const QVariantList& processes,
                                        const QStringList& selected)
{
    controller.m_apps.m_all = processes;
    controller.m_apps.m_selected = selected;
    emit controller.m_apps.processesChanged();
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
    controller.m_connection.m_lastError.clear();
}

void ControllerTestAccess::restart(Controller& controller, const QString& message)
{
    controller.m_connection.restart(message);
}

QTimer& ControllerTestAccess::watchTimer(Controller& controller)
{
    return controller.m_connection.m_watchTimer;
}

QStringList ControllerTestAccess::pingQueue(const Controller& controller)
{
    return controller.m_latency.m_queue;
}

TunnelSession* ControllerTestAccess::pingSession(const Controller& controller)
{
    return controller.m_latency.m_session.data();
}

const QTimer& ControllerTestAccess::pingStart(const Controller& controller)
{
    return controller.m_latency.m_startTimer;
}

void ControllerTestAccess::setDownloadDeadline(Controller& controller, int milliseconds)
{
    controller.m_subscription.m_downloadDeadlineMs = milliseconds;
}

void ControllerTestAccess::setHourLength(Controller& controller, int milliseconds)
{
    controller.m_subscription.m_hourMs = milliseconds;
}

bool ControllerTestAccess::applySubscriptionBody(Controller& controller, const QByteArray& body,
                                                 bool fromCache)
{
    return controller.m_subscription.applyBody(body, fromCache);
}

QStringList ControllerTestAccess::selectedProcesses(const Controller& controller)
{
    return controller.m_apps.m_selected;
}

QStringList ControllerTestAccess::userBypassDomains(const Controller& controller)
{
    return controller.m_sites.m_user;
}
