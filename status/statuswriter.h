#pragma once

#include "status/statusfile.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QObject>
#include <QTimer>

class ConnectionManager;
class ServerList;

// Keeps the status file in step with the client: changes are gathered and written once the
// event loop turns again, a long list is converted a slice per turn, and the disk is not
// written faster than a budget allows.
class StatusWriter : public QObject
{
    Q_OBJECT

public:
    StatusWriter(const ServerList& servers, const ConnectionManager& connection,
                 QObject* parent = nullptr);

    // Something the file reports has changed.
    void schedule();
    // The whole write at once, at the end of the client's life.
    void writeNow();
    // The quit's write: it reaches here up to three times (tray, aboutToQuit, destructor),
    // and with thousands of servers each repeat would rewrite megabytes that say nothing new.
    void writeAtQuit();

private:
    // A slice of the scheduled write; the write itself once the document is complete.
    void continueWrite();
    StatusSnapshot snapshot() const;
    bool alreadyWritten(const StatusSnapshot& snapshot) const;
    void save(const StatusSnapshot& snapshot, const QJsonArray& profiles);

    const ServerList& m_servers;
    const ConnectionManager& m_connection;
    QTimer m_timer;
    // A large list's file is not rewritten faster than the disk budget allows.
    QElapsedTimer m_clock;
    qint64 m_gapMs = 0;
    // What the file holds now: a write that would say the same again is skipped. The list
    // is a shallow copy; any change to the entries detaches the list's own.
    StatusSnapshot m_written;
    bool m_writtenOnce = false;
    bool m_quitWritten = false;
    // The scheduled write in progress: its state and the entries converted so far.
    bool m_building = false;
    bool m_changedWhileBuilding = false;
    StatusSnapshot m_pending;
    QJsonArray m_profiles;
};
