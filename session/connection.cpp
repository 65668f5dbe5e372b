#include "session/connectionmanager.h"

#include "config/adapter.h"
#include "profiles/profileuri.h"
#include "profiles/serverlist.h"
#include "routing/approuting.h"
#include "routing/bypasslist.h"
#include "session/httpscheck.h"
#include "session/latencychecker.h"
#include "session/networkwatch.h"

namespace {

constexpr int kRestartDelayMs = 250;

constexpr int kWatchIntervalMs = 45000;

} // namespace

ConnectionManager::ConnectionManager(ServerList& servers, LatencyChecker& latency,
                                     const AppRouting& apps, const BypassList& sites,
                                     const QString& coreFolder, QObject* parent)
    : QObject(parent),
      m_servers(servers),
      m_latency(latency),
      m_apps(apps),
      m_sites(sites),
      m_session(coreFolder, this)
{
    connect(&m_session, &TunnelSession::ready, this, &ConnectionManager::onTunnelReady);
    connect(&m_session, &TunnelSession::failed, this, &ConnectionManager::onTunnelFailed);
    m_watchTimer.setInterval(kWatchIntervalMs);
    connect(&m_watchTimer, &QTimer::timeout, this, &ConnectionManager::onWatchTick);
    connect(&apps, &AppRouting::applied, this, &ConnectionManager::restart);
    connect(&sites, &BypassList::applied, this, &ConnectionManager::restart);
}

void ConnectionManager::connectSelected()
{
    if (m_session.isRunning() || m_connecting || !m_servers.hasSelection())
        return;

    const QString uri = m_servers.selectedText(ServerEntry::uri);
    ServerProfile profile;
    if (!parseProfileUri(uri, profile, &m_lastError)) {
        setStatus(QStringLiteral("Ошибка профиля"));
        return;
    }

    // A latency check would compete with the new tunnel for the cores and the network.
    m_latency.cancel();
    m_connected = false;
    m_connecting = true;
    m_latency.setPaused(true);
    m_reconnectPending = false;
    m_lastError.clear();
    emit busyChanged();
    emit connectingChanged();
    emit connectedChanged();
    setStatus(QStringLiteral("Подключение..."));

    TunnelOptions options;
    options.tunMode = true;
    options.bypassDomains = m_sites.effective();
    options.appProcesses = m_apps.selected();
    options.includeMode = m_apps.mode() == RouteMode::Include;
    m_session.start(profile, options);
}

void ConnectionManager::disconnectTunnel()
{
    m_reconnectPending = false;
    m_session.stop();
    clearState();
    setStatus(QStringLiteral("Отключено"));
}

void ConnectionManager::toggle()
{
    // A toggle during a pending restart cancels it and stays disconnected.
    if (m_session.isRunning() || m_reconnectPending)
        disconnectTunnel();
    else
        connectSelected();
}

void ConnectionManager::onTunnelReady()
{
    setStatus(QStringLiteral("Проверка трафика..."));
    startVerification();
}

void ConnectionManager::onTunnelFailed(const QString& error)
{
    // The session has stopped itself; a failure is never retried on its own.
    clearState();
    m_lastError = error;
    setStatus(QStringLiteral("Ошибка подключения"));
}

void ConnectionManager::startVerification()
{
    if (!m_session.isRunning() || m_verifyCheck)
        return;
    auto* check = new HttpsCheck(m_session.socksPort(), this);
    m_verifyCheck = check;
    connect(check, &HttpsCheck::finished, this, &ConnectionManager::onVerificationFinished);
    check->start();
}

void ConnectionManager::onVerificationFinished(int milliseconds, const QString& error)
{
    // A result from before a disconnect, a restart or a newer check is stale.
    auto* check = qobject_cast<HttpsCheck*>(sender());
    if (!check || !m_verifyCheck || m_verifyCheck.data() != check)
        return;
    m_verifyCheck.clear();
    check->deleteLater();

    if (milliseconds < 0) {
        m_session.stop();
        clearState();
        m_lastError = error;
        setStatus(QStringLiteral("Ошибка: трафик через VPN не проходит"));
        return;
    }

    m_connected = true;
    m_connecting = false;
    m_latency.setPaused(false);
    m_lastError.clear();
    emit connectedChanged();
    emit busyChanged();
    emit connectingChanged();
    setStatus(QStringLiteral("Подключено"));
    // Later re-checks keep the rhythm of the first success.
    if (!m_watchTimer.isActive())
        m_watchTimer.start();

    if (m_servers.hasSelection()) {
        const int row = m_servers.selectedRow();
        QVariantMap entry = m_servers.entries().at(row).toMap();
        entry.insert(ServerEntry::latency, milliseconds);
        entry.insert(ServerEntry::checkError, QString());
        m_servers.setEntry(row, entry);
        m_servers.rowsUpdated(row, row);
        m_servers.notifyChanged();
    }
}

void ConnectionManager::restart(const QString& message)
{
    if (!m_session.isRunning() || m_reconnectPending)
        return;
    disconnectTunnel();
    m_reconnectPending = true;
    setStatus(message);
    // A manual connect or disconnect inside the window clears the flag and wins.
    QTimer::singleShot(kRestartDelayMs, this, [this] {
        if (!m_reconnectPending)
            return;
        m_reconnectPending = false;
        connectSelected();
    });
}

void ConnectionManager::onWatchTick()
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
        restart(QStringLiteral("Сеть изменилась. Переподключение..."));
}

void ConnectionManager::shutdown()
{
    m_reconnectPending = false;
    m_latency.cancel();
    m_session.stop();
    // The client ends next: its cores must not outlive it.
    m_session.endCoresNow();
    clearState();
}

void ConnectionManager::abandonAtExit()
{
    m_session.abandon();
    m_connected = false;
    m_connecting = false;
    m_status = QStringLiteral("Отключено");
}

void ConnectionManager::setStatus(const QString& text)
{
    if (text == m_status)
        return;
    m_status = text;
    emit statusChanged();
}

void ConnectionManager::clearState()
{
    m_watchTimer.stop();
    if (m_verifyCheck) {
        // Deleted at once, not deferred, so it can never report into a newer connection.
        delete m_verifyCheck.data();
        m_verifyCheck.clear();
    }
    m_connected = false;
    m_connecting = false;
    m_latency.setPaused(false);
    emit connectedChanged();
    emit busyChanged();
    emit connectingChanged();
}
