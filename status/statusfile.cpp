#include "status/statusfile.h"

#include "controller/controller.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

QJsonObject statusProfile(const QVariant& entry)
{
    const QVariantMap map = entry.toMap();
    return QJsonObject{
        {QStringLiteral("name"), map.value(QStringLiteral("name")).toString()},
        {QStringLiteral("protocol"), map.value(QStringLiteral("protocol")).toString()},
        {QStringLiteral("endpoint"), map.value(QStringLiteral("endpoint")).toString()},
        {QStringLiteral("https_ms"), map.value(QStringLiteral("latency")).toInt()},
        {QStringLiteral("checking"), map.value(QStringLiteral("pinging")).toBool()},
        {QStringLiteral("error"), map.value(QStringLiteral("checkError")).toString()},
    };
}

QJsonObject statusDocument(const StatusSnapshot& snapshot, const QJsonArray& profiles)
{
    return QJsonObject{
        {QStringLiteral("version"), snapshot.version},
        {QStringLiteral("time"), snapshot.time.toUTC().toString(Qt::ISODate)},
        {QStringLiteral("connected"), snapshot.connected},
        {QStringLiteral("connecting"), snapshot.connecting},
        {QStringLiteral("status"), snapshot.status},
        {QStringLiteral("error"), snapshot.error},
        {QStringLiteral("selected"), snapshot.selected},
        {QStringLiteral("profiles"), profiles},
    };
}

QJsonObject statusDocument(const StatusSnapshot& snapshot)
{
    QJsonArray profiles;
    for (const QVariant& value : snapshot.servers)
        profiles.append(statusProfile(value));
    return statusDocument(snapshot, profiles);
}

QString statusFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/client-status.json");
}

namespace {

// Disk budget of the file: a list of a few dozen servers (a few kilobytes) is written on
// the next turn of the event loop, a list of thousands waits its turn instead of
// rewriting megabytes for every latency result.
constexpr qint64 kStatusBytesPerSecond = 256 * 1024;
// Entries converted per turn of the event loop: a few milliseconds of work, so a list of
// thousands never holds the window for the whole document.
constexpr qsizetype kStatusSlice = 1000;

} // namespace

bool saveStatusFile(const QString& path, const QJsonObject& document, qint64* written)
{
    // Server names, endpoints and the last error are the user's business alone.
    const QString folder = QFileInfo(path).absolutePath();
    QDir().mkpath(folder);
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Set on the new file before it replaces the old one.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray data = QJsonDocument(document).toJson(QJsonDocument::Indented);
    if (written)
        *written = data.size();
    file.write(data);
    return file.commit();
}

void Controller::scheduleStatusFileWrite()
{
    // A burst of changes ends up in one write, which reads the state as it is by then.
    if (m_statusBuilding)
        m_statusChangedWhileBuilding = true;
    if (m_statusWriteTimer.isActive())
        return;
    const qint64 waited = m_statusWriteClock.isValid() ? m_statusWriteClock.elapsed() : 0;
    m_statusWriteTimer.start(int(qBound(qint64(0), m_statusWriteGapMs - waited, qint64(60000))));
}

StatusSnapshot Controller::statusSnapshot() const
{
    return {QCoreApplication::applicationVersion(),
            QDateTime::currentDateTimeUtc(),
            m_connected,
            m_connecting,
            m_status,
            m_lastError,
            selectedName(),
            m_servers};
}

bool Controller::statusAlreadyWritten(const StatusSnapshot& snapshot) const
{
    const StatusSnapshot& last = m_statusWritten;
    return m_statusWrittenOnce && last.connected == snapshot.connected &&
           last.connecting == snapshot.connecting && last.status == snapshot.status &&
           last.error == snapshot.error && last.selected == snapshot.selected &&
           last.servers.constData() == snapshot.servers.constData() &&
           last.servers.size() == snapshot.servers.size();
}

void Controller::saveStatus(const StatusSnapshot& snapshot, const QJsonArray& profiles)
{
    qint64 written = 0;
    saveStatusFile(statusFilePath(), statusDocument(snapshot, profiles), &written);
    m_statusWritten = snapshot;
    m_statusWrittenOnce = true;
    m_statusWriteGapMs = written * 1000 / kStatusBytesPerSecond;
    m_statusWriteClock.start();
}

void Controller::continueStatusFileWrite()
{
    if (!m_statusBuilding) {
        StatusSnapshot snapshot = statusSnapshot();
        if (statusAlreadyWritten(snapshot))
            return;
        m_statusPending = std::move(snapshot);
        m_statusProfiles = QJsonArray();
        m_statusBuilding = true;
    }
    const QVariantList& servers = m_statusPending.servers;
    const qsizetype end = qMin(m_statusProfiles.size() + kStatusSlice, servers.size());
    for (qsizetype i = m_statusProfiles.size(); i < end; ++i)
        m_statusProfiles.append(statusProfile(servers.at(i)));
    if (end < servers.size()) {
        m_statusWriteTimer.start(0);
        return;
    }
    m_statusBuilding = false;
    saveStatus(m_statusPending, m_statusProfiles);
    m_statusProfiles = QJsonArray();
    // Changes made while the document was being built get their own write.
    if (m_statusChangedWhileBuilding) {
        m_statusChangedWhileBuilding = false;
        scheduleStatusFileWrite();
    }
}

void Controller::writeStatusFile()
{
    m_statusWriteTimer.stop();
    m_statusBuilding = false;
    m_statusChangedWhileBuilding = false;
    m_statusProfiles = QJsonArray();
    // The last word of a quitting client is written even when it repeats the file: a reader
    // sees from its time that the client has ended.
    const StatusSnapshot snapshot = statusSnapshot();
    QJsonArray profiles;
    for (const QVariant& value : snapshot.servers)
        profiles.append(statusProfile(value));
    saveStatus(snapshot, profiles);
}
