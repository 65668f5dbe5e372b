#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct ServerProfile;

namespace testenv {

// Every file below `root` (hidden ones and subfolders included) whose bytes contain any of
// `needles`, as "relative/path: needle" lines; empty when no secret is written in clear.
QStringList filesContainingAny(const QString& root, const QList<QByteArray>& needles);

// What of a profile must never be written in clear: its URI (as written and percent-encoded)
// and every secret field (credential, obfuscation password, REALITY key and short id).
QList<QByteArray> profileSecrets(const ServerProfile& profile);

// A subscription link as written, percent-encoded, and its last path segment (the token).
QList<QByteArray> linkSecrets(const QString& link);

} // namespace testenv
