#include "app/connectsaved.h"

#include <QTimer>

bool hasConnectSavedSwitch(const QStringList& arguments)
{
    return arguments.contains(QStringLiteral("--connect-saved"), Qt::CaseSensitive);
}

ConnectSavedTrigger::ConnectSavedTrigger(std::function<bool()> hasServers,
                                         std::function<void()> connect, QObject* parent)
    : QObject(parent), m_hasServers(std::move(hasServers)), m_connect(std::move(connect))
{}

void ConnectSavedTrigger::onServersChanged()
{
    if (!m_armed || !m_hasServers())
        return;
    m_armed = false;
    QTimer::singleShot(300, this, [this] { m_connect(); });
}
