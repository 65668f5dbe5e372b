#include "session/tunnelsession.h"

// The core launching arrives with the session work; until then a session never starts.
TunnelSession::TunnelSession(const QString& appDir, QObject* parent)
    : QObject(parent), m_appDir(appDir)
{
}

TunnelSession::~TunnelSession()
{
    stop();
}

void TunnelSession::start(const ServerProfile& profile, const TunnelOptions& options)
{
    Q_UNUSED(options);
    stop();
    m_profile = profile;
}

void TunnelSession::stop()
{
    const bool wasRunning = m_running;
    m_running = false;
    m_socksPort = 0;
    if (wasRunning)
        emit stopped();
}
