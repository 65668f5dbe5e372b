#include "status/statuswriter.h"

#include "profiles/serverlist.h"
#include "session/connectionmanager.h"

#include <QCoreApplication>

namespace {

// Disk budget of the file: a list of a few dozen servers (a few kilobytes) is written on
// the next turn of the event loop, a list of thousands waits its turn instead of
// rewriting megabytes for every latency result.
constexpr qint64 kStatusBytesPerSecond = 256 * 1024;
// Entries converted per turn of the event loop: a few milliseconds of work, so a list of
// thousands never holds the window for the whole document.
constexpr qsizetype kStatusSlice = 1000;

} // namespace

StatusWriter::StatusWriter(const ServerList& servers, const ConnectionManager& connection,
                           QObject* parent)
    : QObject(parent), m_servers(servers), m_connection(connection)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &StatusWriter::continueWrite);
}

void StatusWriter::schedule()
{
    // A burst of changes ends up in one write, which reads the state as it is by then.
    if (m_building)
        m_changedWhileBuilding = true;
    if (m_timer.isActive())
        return;
    const qint64 waited = m_clock.isValid() ? m_clock.elapsed() : 0;
    m_timer.start(int(qBound(qint64(0), m_gapMs - waited, qint64(60000))));
}

StatusSnapshot StatusWriter::snapshot() const
{
    return {QCoreApplication::applicationVersion(),
            QDateTime::currentDateTimeUtc(),
            m_connection.isConnected(),
            m_connection.isConnecting(),
            m_connection.status(),
            m_connection.lastError(),
            m_servers.selectedName(),
            m_servers.entries()};
}

bool StatusWriter::alreadyWritten(const StatusSnapshot& snapshot) const
{
    const StatusSnapshot& last = m_written;
    return m_writtenOnce && last.connected == snapshot.connected &&
           last.connecting == snapshot.connecting && last.status == snapshot.status &&
           last.error == snapshot.error && last.selected == snapshot.selected &&
           last.servers.constData() == snapshot.servers.constData() &&
           last.servers.size() == snapshot.servers.size();
}

void StatusWriter::save(const StatusSnapshot& snapshot, const QJsonArray& profiles)
{
    qint64 written = 0;
    saveStatusFile(statusFilePath(), statusDocument(snapshot, profiles), &written);
    m_written = snapshot;
    m_writtenOnce = true;
    m_gapMs = written * 1000 / kStatusBytesPerSecond;
    m_clock.start();
}

void StatusWriter::continueWrite()
{
    if (!m_building) {
        StatusSnapshot current = snapshot();
        if (alreadyWritten(current))
            return;
        m_pending = std::move(current);
        m_profiles = QJsonArray();
        m_building = true;
    }
    const QVariantList& servers = m_pending.servers;
    const qsizetype end = qMin(m_profiles.size() + kStatusSlice, servers.size());
    for (qsizetype i = m_profiles.size(); i < end; ++i)
        m_profiles.append(statusProfile(servers.at(i)));
    if (end < servers.size()) {
        m_timer.start(0);
        return;
    }
    m_building = false;
    save(m_pending, m_profiles);
    m_profiles = QJsonArray();
    // Changes made while the document was being built get their own write.
    if (m_changedWhileBuilding) {
        m_changedWhileBuilding = false;
        schedule();
    }
}

void StatusWriter::writeNow()
{
    m_timer.stop();
    m_building = false;
    m_changedWhileBuilding = false;
    m_profiles = QJsonArray();
    // The last word of a quitting client is written even when it repeats the file: a reader
    // sees from its time that the client has ended.
    const StatusSnapshot current = snapshot();
    QJsonArray profiles;
    for (const QVariant& value : current.servers)
        profiles.append(statusProfile(value));
    save(current, profiles);
}

void StatusWriter::writeAtQuit()
{
    if (!m_quitWritten || !alreadyWritten(snapshot()))
        writeNow();
    m_quitWritten = true;
}
