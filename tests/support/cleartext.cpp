#include "tests/support/cleartext.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace testenv {

QStringList filesContainingAny(const QString& root, const QList<QByteArray>& needles)
{
    QStringList hits;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            hits << QDir(root).relativeFilePath(path) + QStringLiteral(": unreadable");
            continue;
        }
        const QByteArray content = file.readAll();
        for (const QByteArray& needle : needles) {
            if (!needle.isEmpty() && content.contains(needle))
                hits << QDir(root).relativeFilePath(path) + QStringLiteral(": ") +
                            QString::fromUtf8(needle);
        }
    }
    return hits;
}

} // namespace testenv
