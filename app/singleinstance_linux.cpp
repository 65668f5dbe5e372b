#include "app/singleinstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLockFile>
#include <QStandardPaths>

namespace {

QString runtimeFolder()
{
    // Per-user and owner-only: another user's client can neither see nor wake this one.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

} // namespace

QString instanceServerName()
{
    return QDir(runtimeFolder()).filePath(QStringLiteral("OrvikVPN.Client.instance"));
}

void removeStaleInstanceServer(const QString& name)
{
    // Reached only when nobody answered on the socket: a file left there is from a crash.
    QLocalServer::removeServer(name);
}

InstanceStartLock::InstanceStartLock()
    : m_lock(std::make_unique<QLockFile>(
          QDir(runtimeFolder()).filePath(QStringLiteral("OrvikVPN.Client.instance.lock"))))
{
    m_lock->setStaleLockTime(0); // a lock whose owner process is gone is stale at once
    m_lock->tryLock(2000);       // proceed anyway: a stuck start must not block this one
}

bool reserveInstanceServer(QLocalServer& server)
{
    // The socket's private folder already keeps other users out; the lock serialises starts.
    (void)server;
    return true;
}

bool isOwnInstance(QLocalSocket& socket)
{
    (void)socket;
    return true;
}
