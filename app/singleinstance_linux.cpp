#include "app/singleinstance.h"
#include "session/runtimefolders_linux.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLockFile>
#include <QStandardPaths>

#include <sys/stat.h>

namespace {

// Per-user and owner-only, so another user can neither see, take nor wake this client's
// channel. Never a shared name: a socket another user made first in the shared temporary
// folder would answer every start. Empty when no such folder can be had, and then the
// channel cannot be claimed at all.
QString runtimeFolder()
{
    const QString runtime = privateRuntimeDir();
    if (!runtime.isEmpty())
        return runtime;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty() || !QDir().mkpath(cache))
        return {};
    const QString own = cache + QStringLiteral("/OrvikVPN-runtime");
    ::mkdir(QFile::encodeName(own).constData(), 0700); // an existing one is checked below
    return isPrivateFolder(own) ? own : QString();
}

QString inRuntimeFolder(const QString& name)
{
    const QString folder = runtimeFolder();
    return folder.isEmpty() ? QString() : folder + u'/' + name;
}

} // namespace

QString instanceServerName()
{
    return inRuntimeFolder(QStringLiteral("OrvikVPN.Client.instance"));
}

void removeStaleInstanceServer(const QString& name)
{
    // Reached only when nobody answered on the socket: a file left there is from a crash.
    QLocalServer::removeServer(name);
}

InstanceStartLock::InstanceStartLock()
    : m_lock(std::make_unique<QLockFile>(
          inRuntimeFolder(QStringLiteral("OrvikVPN.Client.instance.lock"))))
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
