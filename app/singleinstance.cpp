#include "app/singleinstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

InstanceClaim claimSingleInstance(QLocalSocket& socket, QLocalServer& server)
{
    const QString name = instanceServerName();
    if (name.isEmpty())
        return InstanceClaim::ListenFailed;
    InstanceStartLock lock;

    socket.connectToServer(name, QIODevice::ReadWrite);
    if (socket.waitForConnected(500) && isOwnInstance(socket)) {
        socket.write("show", 4);
        socket.waitForBytesWritten(500); // a slow reader still counts as told
        return InstanceClaim::OtherInstanceSignalled;
    }

    socket.abort();
    removeStaleInstanceServer(name);
    if (!reserveInstanceServer(server) || !server.listen(name))
        return InstanceClaim::ListenFailed;
    return InstanceClaim::Serving;
}

InstanceStartLock::~InstanceStartLock() = default;
