#include "status/statusfile.h"

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
