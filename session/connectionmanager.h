#pragma once

#include "session/tunnelsession.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class AppRouting;
class BypassList;
class HttpsCheck;
class LatencyChecker;
class ServerList;

// Connect, verify, watch and restart. A tunnel only counts as connected once an HTTPS
// request has gone through it; a core that merely runs is still "Проверка трафика...".
// Owns the session, its check and their timers, and the status text the window shows.
class ConnectionManager : public QObject
{
    Q_OBJECT

public:
    ConnectionManager(ServerList& servers, LatencyChecker& latency, const AppRouting& apps,
                      const BypassList& sites, const QString& coreFolder,
                      QObject* parent = nullptr);

    void connectSelected();
    void disconnectTunnel();
    void toggle();
    // Stops a running tunnel and starts it again shortly, showing `message` meanwhile.
    void restart(const QString& message);
    // Before the client quits: the cores end now and nothing waits for a check.
    void shutdown();
    // Inside exit(), on whatever thread called it: forgets the cores without signals.
    void abandonAtExit();

    bool isConnected() const { return m_connected; }
    bool isConnecting() const { return m_connecting; }
    bool isRunning() const { return m_session.isRunning(); }
    QString status() const { return m_status; }
    void setStatus(const QString& text);
    bool hasError() const { return m_status.startsWith(QStringLiteral("Ошибка")); }
    QString lastError() const { return m_lastError; }
    void setLastError(const QString& text) { m_lastError = text; }
    TunnelSession& session() { return m_session; }

signals:
    void connectedChanged();
    void connectingChanged();
    void busyChanged();
    void statusChanged();

private:
    friend class ControllerTestAccess;

    void onTunnelReady();
    void onTunnelFailed(const QString& error);
    void startVerification();
    void onVerificationFinished(int milliseconds, const QString& error);
    void onWatchTick();
    // Idle again: no check, no watch, neither connected nor connecting.
    void clearState();

    ServerList& m_servers;
    LatencyChecker& m_latency;
    const AppRouting& m_apps;
    const BypassList& m_sites;
    TunnelSession m_session;
    QPointer<HttpsCheck> m_verifyCheck;
    QTimer m_watchTimer;
    bool m_connected = false;
    bool m_connecting = false;
    bool m_reconnectPending = false;
    QString m_status = QStringLiteral("Отключено");
    QString m_lastError;
};
