#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QVariantList>

// What the status file reports: the controller's state at one moment.
struct StatusSnapshot
{
    QString version;
    QDateTime time;
    bool connected = false;
    bool connecting = false;
    QString status;
    QString error;
    QString selected;
    QVariantList servers;
};

// The whole document: "version", "time", "connected", "connecting", "status", "error",
// "selected" and "profiles", one object per server with "name", "protocol", "endpoint",
// "https_ms", "checking" and "error". Server URIs and credentials are never part of it.
QJsonObject statusDocument(const StatusSnapshot& snapshot);
// The same in parts, so a long list can be converted a slice at a time: one entry of
// "profiles", and the document around a finished "profiles" array.
QJsonObject statusProfile(const QVariant& entry);
QJsonObject statusDocument(const StatusSnapshot& snapshot, const QJsonArray& profiles);

// "client-status.json" in the per-user application data folder.
QString statusFilePath();

// Replaces the file in one step, creating its folder when missing: a reader sees either the
// previous document or the new one, never a part. Failures are silent; false tells a test.
// `written` receives the size of the document.
bool saveStatusFile(const QString& path, const QJsonObject& document, qint64* written = nullptr);
