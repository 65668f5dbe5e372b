#include "tests/support/cleartext.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QUrl>

#include "profiles/serverprofile.h"

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

QList<QByteArray> profileSecrets(const ServerProfile& profile)
{
    QList<QByteArray> needles{profile.uri.toUtf8(), QUrl::toPercentEncoding(profile.uri)};
    for (const QString& secret :
         {profile.credential, profile.obfsPassword, profile.publicKey, profile.shortId}) {
        if (!secret.isEmpty())
            needles.append(secret.toUtf8());
    }
    return needles;
}

QList<QByteArray> linkSecrets(const QString& link)
{
    const QUrl url(link);
    return {link.toUtf8(), QUrl::toPercentEncoding(link),
            url.path().section(QLatin1Char('/'), -1).toUtf8()};
}

} // namespace testenv
