#include "app/singleinstance.h"

#include <QLockFile>

QString instanceServerName()
{
    return QStringLiteral("OrvikVPN.Client.instance");
}

void removeStaleInstanceServer(const QString& name)
{
    // Named pipes vanish with their process; nothing can be left behind.
    (void)name;
}

InstanceStartLock::InstanceStartLock() = default;
