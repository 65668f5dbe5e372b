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

bool saveStatusFile(const QString& path, const QJsonObject& document)
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
    file.write(QJsonDocument(document).toJson(QJsonDocument::Indented));
    return file.commit();
}

void Controller::writeStatusFile()
{
    const StatusSnapshot snapshot{QCoreApplication::applicationVersion(),
                                  QDateTime::currentDateTimeUtc(),
                                  m_connected,
                                  m_connecting,
                                  m_status,
                                  m_lastError,
                                  selectedName(),
                                  m_servers};
    saveStatusFile(statusFilePath(), statusDocument(snapshot));
}
