#include "status/statusfile.h"

#include "controller/controller.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

QJsonObject statusDocument(const StatusSnapshot& snapshot)
{
    QJsonArray profiles;
    for (const QVariant& value : snapshot.servers) {
        const QVariantMap entry = value.toMap();
        profiles.append(QJsonObject{
            {QStringLiteral("name"), entry.value(QStringLiteral("name")).toString()},
            {QStringLiteral("protocol"), entry.value(QStringLiteral("protocol")).toString()},
            {QStringLiteral("endpoint"), entry.value(QStringLiteral("endpoint")).toString()},
            {QStringLiteral("https_ms"), entry.value(QStringLiteral("latency")).toInt()},
            {QStringLiteral("checking"), entry.value(QStringLiteral("pinging")).toBool()},
            {QStringLiteral("error"), entry.value(QStringLiteral("checkError")).toString()},
        });
    }
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

} // namespace

bool saveStatusFile(const QString& path, const QJsonObject& document, qint64* written)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray data = QJsonDocument(document).toJson(QJsonDocument::Indented);
    if (written)
        *written = data.size();
    file.write(data);
    return file.commit();
}

void Controller::scheduleStatusFileWrite()
{
    // A burst of changes ends up in one write, which reads the state as it is by then.
    if (m_statusWriteTimer.isActive())
        return;
    const qint64 waited = m_statusWriteClock.isValid() ? m_statusWriteClock.elapsed() : 0;
    m_statusWriteTimer.start(int(qBound(qint64(0), m_statusWriteGapMs - waited, qint64(60000))));
}

void Controller::writeStatusFile()
{
    m_statusWriteTimer.stop();
    const StatusSnapshot snapshot{QCoreApplication::applicationVersion(),
                                  QDateTime::currentDateTimeUtc(),
                                  m_connected,
                                  m_connecting,
                                  m_status,
                                  m_lastError,
                                  selectedName(),
                                  m_servers};
    const StatusSnapshot& last = m_statusWritten;
    if (m_statusWrittenOnce && last.connected == snapshot.connected &&
        last.connecting == snapshot.connecting && last.status == snapshot.status &&
        last.error == snapshot.error && last.selected == snapshot.selected &&
        last.servers.constData() == snapshot.servers.constData() &&
        last.servers.size() == snapshot.servers.size())
        return;
    qint64 written = 0;
    saveStatusFile(statusFilePath(), statusDocument(snapshot), &written);
    m_statusWritten = snapshot;
    m_statusWrittenOnce = true;
    m_statusWriteGapMs = written * 1000 / kStatusBytesPerSecond;
    m_statusWriteClock.start();
}
