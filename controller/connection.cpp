#include "controller/controller.h"

#include "profiles/profileuri.h"
#include "session/httpscheck.h"

// Connect, verify, disconnect and restart. A tunnel only counts as connected once an HTTPS
// request has gone through it; a core that merely runs is still "Проверка трафика...".

namespace {

constexpr int kRestartDelayMs = 250;

} // namespace

void Controller::connectVpn()
{
    if (m_session.isRunning() || m_connecting || m_selectedRow < 0 ||
        m_selectedRow >= m_servers.size())
        return;

    const QString uri = m_servers.at(m_selectedRow).toMap().value(QStringLiteral("uri")).toString();
    ServerProfile profile;
    if (!parseProfileUri(uri, profile, &m_lastError)) {
        setStatus(QStringLiteral("Ошибка профиля"));
        return;
    }

    // A latency check would compete with the new tunnel for the cores and the network.
    cancelPings();
    m_connected = false;
    m_connecting = true;
    m_reconnectPending = false;
    m_lastError.clear();
    emit busyChanged();
    emit connectingChanged();
    emit connectedChanged();
    setStatus(QStringLiteral("Подключение..."));

    TunnelOptions options;
    options.tunMode = true;
    options.bypassDomains = effectiveBypassDomains();
    options.appProcesses = m_selectedProcesses;
    options.includeMode = m_processRouteMode == QLatin1String("include");
    m_session.start(profile, options);
}

void Controller::disconnectVpn()
{
    m_reconnectPending = false;
    m_session.stop();
    clearConnectionState();
    setStatus(QStringLiteral("Отключено"));
}

void Controller::toggleVpn()
{
    // A toggle during a pending restart cancels it and stays disconnected.
    if (m_session.isRunning() || m_reconnectPending)
        disconnectVpn();
    else
        connectVpn();
}

void Controller::onTunnelReady()
{
    setStatus(QStringLiteral("Проверка трафика..."));
    startVerification();
}

void Controller::onTunnelFailed(const QString& error)
{
    // The session has stopped itself; a failure is never retried on its own.
    clearConnectionState();
    m_lastError = error;
    setStatus(QStringLiteral("Ошибка подключения"));
}

void Controller::startVerification()
{
    if (!m_session.isRunning() || m_verifyCheck)
        return;
    auto* check = new HttpsCheck(m_session.socksPort(), this);
    m_verifyCheck = check;
    connect(check, &HttpsCheck::finished, this, &Controller::onVerificationFinished);
    check->start();
}

void Controller::onVerificationFinished(int milliseconds, const QString& error)
{
    // A result from before a disconnect, a restart or a newer check is stale.
    auto* check = qobject_cast<HttpsCheck*>(sender());
    if (!check || !m_verifyCheck || m_verifyCheck.data() != check)
        return;
    m_verifyCheck.clear();
    check->deleteLater();

    if (milliseconds < 0) {
        m_session.stop();
        clearConnectionState();
        m_lastError = error;
        setStatus(QStringLiteral("Ошибка: трафик через VPN не проходит"));
        return;
    }

    m_connected = true;
    m_connecting = false;
    m_lastError.clear();
    emit connectedChanged();
    emit busyChanged();
    emit connectingChanged();
    setStatus(QStringLiteral("Подключено"));
    // Later re-checks keep the rhythm of the first success.
    if (!m_watchTimer.isActive())
        m_watchTimer.start();

    if (m_selectedRow >= 0 && m_selectedRow < m_servers.size()) {
        QVariantMap entry = m_servers.at(m_selectedRow).toMap();
        entry.insert(QStringLiteral("latency"), milliseconds);
        entry.insert(QStringLiteral("checkError"), QString());
        m_servers[m_selectedRow] = entry;
        m_serverModel.rowsUpdated(m_selectedRow, m_selectedRow);
        emit serversChanged();
    }
}

void Controller::restartTunnel(const QString& message)
{
    if (!m_session.isRunning() || m_reconnectPending)
        return;
    disconnectVpn();
    m_reconnectPending = true;
    setStatus(message);
    // A manual connect or disconnect inside the window clears the flag and wins.
    QTimer::singleShot(kRestartDelayMs, this, [this] {
        if (!m_reconnectPending)
            return;
        m_reconnectPending = false;
        connectVpn();
    });
}
