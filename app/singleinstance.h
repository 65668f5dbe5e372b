#pragma once

#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

enum class InstanceClaim {
    Serving,                // this process now owns the channel
    OtherInstanceSignalled, // a running client was told to show itself
    ListenFailed,           // the channel could not be claimed
};

// Tells a running client to show itself, or starts listening for later starts.
InstanceClaim claimSingleInstance(QLocalSocket& socket, QLocalServer& server);

// Platform parts of the channel.
QString instanceServerName();

// Removes what a crashed instance left behind, where the platform leaves anything.
void removeStaleInstanceServer(const QString& name);

// Prepares the server before it listens; false when another start of this user already holds
// the channel where the platform can tell (Windows: a named mutex held for the process's life).
bool reserveInstanceServer(QLocalServer& server);

// On a connected socket, before "show" is written: true when the server is this user's client.
// Windows also lets it take the foreground, which only the starting copy may grant.
bool isOwnInstance(QLocalSocket& socket);

// Serialises the check-then-listen sequence of simultaneous starts where stale servers
// are removed, so one start never removes the server another has just created.
class InstanceStartLock
{
public:
    InstanceStartLock();
    ~InstanceStartLock();
    InstanceStartLock(const InstanceStartLock&) = delete;
    InstanceStartLock& operator=(const InstanceStartLock&) = delete;

private:
    std::unique_ptr<QLockFile> m_lock;
};
