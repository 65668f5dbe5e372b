#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

// "--connect-saved", compared case-sensitively anywhere in the argument list.
bool hasConnectSavedSwitch(const QStringList& arguments);

// Schedules `connect` once, 300 ms after the first server-list notification at which the
// list is non-empty. It never fires again, whatever the outcome of that connection.
class ConnectSavedTrigger : public QObject
{
    Q_OBJECT

public:
    ConnectSavedTrigger(std::function<bool()> hasServers, std::function<void()> connect,
                        QObject* parent = nullptr);

    void onServersChanged();
    bool isArmed() const { return m_armed; }

private:
    std::function<bool()> m_hasServers;
    std::function<void()> m_connect;
    bool m_armed = true;
};
