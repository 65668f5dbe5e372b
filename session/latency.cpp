#include "session/latencychecker.h"

#include "profiles/profileuri.h"
#include "profiles/serverlist.h"
#include "profiles/subscription.h"
#include "session/httpscheck.h"
#include "session/tunnelsession.h"

namespace {

constexpr int kPauseBetweenChecksMs = 100;

// Writes one result into every entry for that server and updates those rows; false when
// none matched.
bool writeResult(ServerList& servers, const QString& uri, int milliseconds, const QString& error)
{
    bool written = false;
    for (qsizetype i = 0; i < servers.size(); ++i) {
        QVariantMap entry = servers.entries().at(i).toMap();
        if (entry.value(ServerEntry::uri).toString() != uri)
            continue;
        entry.insert(ServerEntry::pinging, false);
        entry.insert(ServerEntry::latency, milliseconds);
        entry.insert(ServerEntry::checkError, error);
        servers.setEntry(i, entry);
        servers.rowsUpdated(i, i);
        written = true;
    }
    return written;
}

} // namespace

LatencyChecker::LatencyChecker(ServerList& servers, const QString& coreFolder, QObject* parent)
    : QObject(parent), m_servers(servers), m_coreFolder(coreFolder)
{
    m_startTimer.setSingleShot(true);
    m_startTimer.setInterval(subscription::kPingDelayMs);
    connect(&m_startTimer, &QTimer::timeout, this, &LatencyChecker::checkAll);
}

bool LatencyChecker::queue(int index)
{
    if (m_paused || index < 0 || index >= m_servers.size())
        return false;
    QVariantMap entry = m_servers.entries().at(index).toMap();
    // Already queued or running.
    if (entry.value(ServerEntry::pinging).toBool())
        return false;
    entry.insert(ServerEntry::pinging, true);
    m_servers.setEntry(index, entry);
    m_queue.append(entry.value(ServerEntry::uri).toString());
    return true;
}

void LatencyChecker::checkServer(int index)
{
    if (!queue(index))
        return;
    m_servers.rowsUpdated(index, index);
    m_servers.notifyChanged();
    processQueue();
}

void LatencyChecker::checkAll()
{
    if (m_paused)
        return;
    // One notification for the whole batch: per-entry signals made the window and the
    // status file redo the whole list for every entry.
    bool queued = false;
    for (int i = 0; i < m_servers.size(); ++i)
        queued = queue(i) || queued;
    if (!queued)
        return;
    m_servers.rowsUpdated(0, m_servers.size() - 1);
    m_servers.notifyChanged();
    // The first check's cores start on the next turn, after the window has shown the queue.
    QTimer::singleShot(0, this, &LatencyChecker::processQueue);
}

void LatencyChecker::processQueue()
{
    if (m_session)
        return;
    // While a connection is being set up the queue waits (the connect has emptied it anyway).
    while (!m_queue.isEmpty() && !m_paused) {
        const QString uri = m_queue.takeFirst();
        ServerProfile profile;
        QString parseError;
        if (!parseProfileUri(uri, profile, &parseError)) {
            // Otherwise the entry would show a check that never ends.
            if (writeResult(m_servers, uri, -1, parseError))
                m_servers.notifyChanged();
            continue;
        }

        auto* session = new TunnelSession(m_coreFolder, this);
        m_session = session;
        connect(session, &TunnelSession::failed, this, [this, session, uri](const QString& error) {
            onFinished(session, uri, -1, error);
        });
        connect(session, &TunnelSession::ready, this, [this, session, uri](quint16 socksPort) {
            auto* check = new HttpsCheck(socksPort, session);
            connect(check, &HttpsCheck::finished, session,
                    [this, session, uri](int milliseconds, const QString& error) {
                        onFinished(session, uri, milliseconds, error);
                    });
            check->start();
        });
        // Check mode: no TUN adapter, no routing lists.
        session->start(profile, TunnelOptions{});
        return;
    }
}

void LatencyChecker::onFinished(TunnelSession* session, const QString& uri, int milliseconds,
                                const QString& error)
{
    // One result per session, and none from a session that was cancelled or replaced.
    if (session->property("complete").toBool())
        return;
    if (m_session.data() != session)
        return;
    session->setProperty("complete", true);

    writeResult(m_servers, uri, milliseconds, error);
    // Its cores end in the background; the next check does not wait for them.
    session->stopAndRelease();
    m_session.clear();
    m_servers.notifyChanged();

    QTimer::singleShot(kPauseBetweenChecksMs, this, &LatencyChecker::processQueue);
}

void LatencyChecker::cancel()
{
    m_startTimer.stop();
    m_queue.clear();
    if (TunnelSession* session = m_session.data()) {
        disconnect(session, nullptr, this, nullptr);
        session->stopAndRelease();
        m_session.clear();
    }
    // Only entries that were waiting change, so an idle list stays as it is.
    qsizetype first = m_servers.size(), last = -1;
    for (qsizetype i = 0; i < m_servers.size(); ++i) {
        QVariantMap entry = m_servers.entries().at(i).toMap();
        if (!entry.value(ServerEntry::pinging).toBool())
            continue;
        entry.insert(ServerEntry::pinging, false);
        m_servers.setEntry(i, entry);
        first = qMin(first, i);
        last = i;
    }
    m_servers.rowsUpdated(first, last);
    m_servers.notifyChanged();
}
