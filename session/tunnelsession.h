#pragma once

#include "config/adapter.h"
#include "profiles/serverprofile.h"
#include "session/corejob.h"
#include "session/redaction.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

// Start options of a session besides the profile.
struct TunnelOptions
{
    bool tunMode = false;
    QStringList bypassDomains;
    QStringList appProcesses;
    bool includeMode = false;
};

// The server address a session connects to, from a host lookup's answer: the first IPv4
// address outside 198.18.0.0/16 (the fake-IP range a running tunnel hands out for names),
// in the answer's order; empty when there is none.
QString pickServerAddress(const QList<QHostAddress>& addresses);

// One run of the two cores for one profile: picks the adapter, resolves the server,
// writes the core configurations, launches the cores and waits for the local SOCKS port.
class TunnelSession : public QObject
{
    Q_OBJECT

public:
    TunnelSession(const QString& appDir, QObject* parent = nullptr);
    ~TunnelSession() override;

    void start(const ServerProfile& profile, const TunnelOptions& options);
    // Returns at once: the cores are asked to end and are killed if they have not within
    // 600 ms, while the event loop runs on. A later launch of this session waits for them.
    void stop();
    // For a process that is ending without its event loop: kills the cores and removes the
    // runtime folder, waiting for nothing and emitting nothing.
    void abandon();
    // Stops and deletes the session once its cores have ended.
    void stopAndRelease();
    // For the client's last moments: waits out what is left of the ending cores' grace,
    // then kills them.
    void endCoresNow();

    bool isRunning() const { return m_running; }
    quint16 socksPort() const { return m_socksPort; }
    PhysicalAdapter adapter() const { return m_adapter; }

signals:
    void ready(quint16 socksPort);
    void failed(const QString& error);
    void stopped();

private:
    bool needsXray() const;
    QProcess* newProcess();
    // Hands a core over to the ending cores: it no longer reports into the session.
    void retire(QProcess*& process);
    bool coresEnding() const;
    void launch(const QString& serverAddress, const TunnelOptions& options);
    void poll();
    void removeCoreDocuments();
    void fail(const QString& message);
    CoreOutputStream& outputStream(const QProcess& process);
    QString coreLog() const { return m_coreLog; }

    QString m_appDir;
    ServerProfile m_profile;
    PhysicalAdapter m_adapter;
    // The cores of the current launch; null when none runs.
    QProcess* m_xrayProcess = nullptr;
    QProcess* m_singBoxProcess = nullptr;
    // Cores of earlier launches that are still ending.
    QList<QPointer<QProcess>> m_endingCores;
    bool m_releaseWhenEnded = false;
    QTimer m_pollTimer;
    QElapsedTimer m_startClock;
    std::unique_ptr<QTemporaryDir> m_runtimeDir;
    QString m_coreLog;
    CoreOutputStream m_xrayOutput;
    CoreOutputStream m_singBoxOutput;
    quint16 m_socksPort = 0;
    bool m_running = false;
    bool m_stopping = false;
    bool m_readyEmitted = false;
    bool m_probeInFlight = false;
    quint32 m_generation = 0;
    // Holds the job handle on Windows.
    CoreJob m_job;
};
