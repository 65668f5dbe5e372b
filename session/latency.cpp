#include "controller/controller.h"

#include "profiles/profileuri.h"
#include "session/httpscheck.h"

#include <QCoreApplication>

// Latency is the time of a real HTTPS request through each server, measured in a temporary
// session of its own, one server at a time.

namespace {

constexpr int kPauseBetweenChecksMs = 100;

const QString kUri = QStringLiteral("uri");
const QString kPinging = QStringLiteral("pinging");
const QString kLatency = QStringLiteral("latency");
const QString kCheckError = QStringLiteral("checkError");

// Writes one result into every entry for that server and updates those rows; false when
// none matched.
bool writeResult(QVariantList& servers, ServerListModel& model, const QString& uri,
                 int milliseconds, const QString& error)
{
    bool written = false;
    for (qsizetype i = 0; i < servers.size(); ++i) {
        QVariantMap entry = servers.at(i).toMap();
        if (entry.value(kUri).toString() != uri)
            continue;
        entry.insert(kPinging, false);
        entry.insert(kLatency, milliseconds);
        entry.insert(kCheckError, error);
        servers[i] = entry;
        model.rowsUpdated(i, i);
        written = true;
    }
    return written;
}

} // namespace

bool Controller::queuePing(int index)
{
    if (m_connecting || index < 0 || index >= m_servers.size())
        return false;
    QVariantMap entry = m_servers.at(index).toMap();
    // Already queued or running.
    if (entry.value(kPinging).toBool())
        return false;
    entry.insert(kPinging, true);
    m_servers[index] = entry;
    m_pingQueue.append(entry.value(kUri).toString());
    return true;
}

void Controller::pingServer(int index)
{
    if (!queuePing(index))
        return;
    m_serverModel.rowsUpdated(index, index);
    emit serversChanged();
    processPingQueue();
}

void Controller::pingAllServers()
{
    if (m_connecting)
        return;
    // One notification for the whole batch: per-entry signals made the window and the
    // status file redo the whole list for every entry.
    bool queued = false;
    for (int i = 0; i < m_servers.size(); ++i)
        queued = queuePing(i) || queued;
    if (!queued)
        return;
    m_serverModel.rowsUpdated(0, m_servers.size() - 1);
    emit serversChanged();
    // The first check's cores start on the next turn, after the window has shown the queue.
    QTimer::singleShot(0, this, &Controller::processPingQueue);
}

void Controller::processPingQueue()
{
    if (m_pingSession)
        return;
    // While a connection is being set up the queue waits (connectVpn has emptied it anyway).
    while (!m_pingQueue.isEmpty() && !m_connecting) {
        const QString uri = m_pingQueue.takeFirst();
        ServerProfile profile;
        QString parseError;
        if (!parseProfileUri(uri, profile, &parseError)) {
            // Otherwise the entry would show a check that never ends.
            if (writeResult(m_servers, m_serverModel, uri, -1, parseError))
                emit serversChanged();
            continue;
        }

        auto* session = new TunnelSession(QCoreApplication::applicationDirPath(), this);
        m_pingSession = session;
        connect(session, &TunnelSession::failed, this, [this, session, uri](const QString& error) {
            onPingFinished(session, uri, -1, error);
        });
        connect(session, &TunnelSession::ready, this, [this, session, uri](quint16 socksPort) {
            auto* check = new HttpsCheck(socksPort, session);
            connect(check, &HttpsCheck::finished, session,
                    [this, session, uri](int milliseconds, const QString& error) {
                        onPingFinished(session, uri, milliseconds, error);
                    });
            check->start();
        });
        // Check mode: no TUN adapter, no routing lists.
        session->start(profile, TunnelOptions{});
        return;
    }
}

void Controller::onPingFinished(TunnelSession* session, const QString& uri, int milliseconds,
                                const QString& error)
{
    // One result per session, and none from a session that was cancelled or replaced.
    if (session->property("complete").toBool())
        return;
    if (m_pingSession.data() != session)
        return;
    session->setProperty("complete", true);

    writeResult(m_servers, m_serverModel, uri, milliseconds, error);
    // Its cores end in the background; the next check does not wait for them.
    session->stopAndRelease();
    m_pingSession.clear();
    emit serversChanged();

    QTimer::singleShot(kPauseBetweenChecksMs, this, &Controller::processPingQueue);
}

void Controller::cancelPings()
{
    m_pingQueue.clear();
    if (TunnelSession* session = m_pingSession.data()) {
        disconnect(session, nullptr, this, nullptr);
        session->stopAndRelease();
        m_pingSession.clear();
    }
    // Only entries that were waiting change, so an idle list stays as it is.
    qsizetype first = m_servers.size(), last = -1;
    for (qsizetype i = 0; i < m_servers.size(); ++i) {
        QVariantMap entry = m_servers.at(i).toMap();
        if (!entry.value(kPinging).toBool())
            continue;
        entry.insert(kPinging, false);
        m_servers[i] = entry;
        first = qMin(first, i);
        last = i;
    }
    m_serverModel.rowsUpdated(first, last);
    emit serversChanged();
}
