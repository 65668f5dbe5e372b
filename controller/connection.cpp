#include "controller/controller.h"

#include "session/httpscheck.h"

// Connect, verify, disconnect and restart. The connect and verification steps arrive
// with the connection work.

void Controller::connectVpn()
{
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
    if (m_session.isRunning() || m_reconnectPending)
        disconnectVpn();
    else
        connectVpn();
}

void Controller::onTunnelReady()
{
}

void Controller::onTunnelFailed(const QString& error)
{
    Q_UNUSED(error);
}

void Controller::startVerification()
{
}

void Controller::onVerificationFinished(int milliseconds, const QString& error)
{
    Q_UNUSED(milliseconds);
    Q_UNUSED(error);
}

void Controller::restartTunnel(const QString& message)
{
    Q_UNUSED(message);
}
