#include "app/singleinstance.h"

#include "app/singleinstance_win32.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

QString instanceServerName()
{
    return QString::fromStdWString(win32::instanceChannelName());
}

void removeStaleInstanceServer(const QString& name)
{
    // Named pipes vanish with their process; nothing can be left behind.
    (void)name;
}

bool reserveInstanceServer(QLocalServer& server)
{
    // Qt makes every pipe instance anyone may open and lets any number be created: the
    // channel is restricted to this user, and the mutex lets only one start serve it.
    server.setSocketOptions(QLocalServer::UserAccessOption);
    return win32::holdInstanceMutex();
}

bool isOwnInstance(QLocalSocket& socket)
{
    return win32::acceptInstanceServer(reinterpret_cast<void*>(socket.socketDescriptor()));
}

InstanceStartLock::InstanceStartLock() = default;
