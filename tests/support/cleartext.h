#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace testenv {

// Every file below `root` (hidden ones and subfolders included) whose bytes contain any of
// `needles`, as "relative/path: needle" lines; empty when no secret is written in clear.
QStringList filesContainingAny(const QString& root, const QList<QByteArray>& needles);

} // namespace testenv
