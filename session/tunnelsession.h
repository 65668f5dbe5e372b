#pragma once

#include "config/adapter.h"
#include "profiles/serverprofile.h"

#include <QObject>
#include <QString>
#include <QStringList>

// Start options of a session besides the profile.
struct TunnelOptions
{
    bool tunMode = false;
    QStringList bypassDomains;
    QStringList appProcesses;
    bool includeMode = false;
};

// One run of the two cores for one profile: picks the adapter, resolves the server,
// writes the core configurations, launches the cores and waits for the local SOCKS port.
class TunnelSession : public QObject
{
    Q_OBJECT

public:
    TunnelSession(const QString& appDir, QObject* parent = nullptr);
    ~TunnelSession() override;

    void start(const ServerProfile& profile, const TunnelOptions& options);
    void stop();

    bool isRunning() const { return m_running; }
    quint16 socksPort() const { return m_socksPort; }
    PhysicalAdapter adapter() const { return m_adapter; }

signals:
    void ready(quint16 socksPort);
    void failed(const QString& error);
    void stopped();

private:
    QString m_appDir;
    ServerProfile m_profile;
    PhysicalAdapter m_adapter;
    quint16 m_socksPort = 0;
    bool m_running = false;
};
