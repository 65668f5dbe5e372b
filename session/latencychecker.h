#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

class ServerList;
class TunnelSession;

// Latency is the time of a real HTTPS request through each server, measured in a temporary
// session of its own, one server at a time. Results go into the shared server list.
class LatencyChecker : public QObject
{
    Q_OBJECT

public:
    LatencyChecker(ServerList& servers, const QString& coreFolder, QObject* parent = nullptr);

    void checkServer(int row);
    void checkAll();
    // After a downloaded list: the checks start a moment later.
    void checkAllSoon() { m_startTimer.start(); }
    // Empties the queue and ends the running check; waiting rows stop showing a check.
    void cancel();
    // While a connection is being set up nothing is queued and the queue waits.
    void setPaused(bool paused) { m_paused = paused; }
    // A check runs, waits in the queue or is about to start.
    bool isChecking() const { return m_session || !m_queue.isEmpty() || m_startTimer.isActive(); }

private:
    friend class ControllerTestAccess;

    bool queue(int row);
    void processQueue();
    // The result of the check running in `session`, for the server behind `uri`.
    void onFinished(TunnelSession* session, const QString& uri, int milliseconds,
                    const QString& error);

    ServerList& m_servers;
    const QString m_coreFolder;
    QPointer<TunnelSession> m_session;
    QTimer m_startTimer;
    QStringList m_queue;
    bool m_paused = false;
};
