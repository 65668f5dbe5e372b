#include "tests/support/cleartext.h"

#include "profiles/serverprofile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QUrl>

namespace testenv {

QStringList filesContainingAny(const QString& root, const QList<QByteArray>& needles)
{
    QStringList hits;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        const QString name = QDir(root).relativeFilePath(file.fileName()) + QStringLiteral(": ");
        if (!file.open(QIODevice::ReadOnly))
            hits << name + QStringLiteral("unreadable");
        const QByteArray content = file.readAll();
        for (const QByteArray& needle : needles) {
            if (!needle.isEmpty() && content.contains(needle))
                hits << name + QString::fromUtf8(needle);
        }
    }
    return hits;
}

QList<QByteArray> profileSecrets(const ServerProfile& profile)
{
    QList<QByteArray> needles{profile.uri.toUtf8(), QUrl::toPercentEncoding(profile.uri)};
    for (const QString& secret :
         {profile.credential, profile.obfsPassword, profile.publicKey, profile.shortId})
        needles.append(secret.toUtf8()); // an empty one matches nothing
    return needles;
}

QList<QByteArray> linkSecrets(const QString& link)
{
    return {link.toUtf8(), QUrl::toPercentEncoding(link),
            QUrl(link).path().section(QLatin1Char('/'), -1).toUtf8()};
}

} // namespace testenv
