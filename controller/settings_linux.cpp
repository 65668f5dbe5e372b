#include "controller/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

// A file of its own beside the main settings file, e.g. ~/.config/OrvikVPN/Bootstrap.conf.
QString settings::bootstrapStoreLocation()
{
    const QSettings mainStore;
    return QFileInfo(mainStore.fileName()).absolutePath() + QStringLiteral("/Bootstrap.conf");
}

bool settings::bootstrapStoreExists()
{
    return QFileInfo::exists(bootstrapStoreLocation());
}

void settings::prepareStore()
{
    const QString mainFile = QSettings().fileName();
    const QString folder = QFileInfo(mainFile).absolutePath();
    QDir().mkpath(folder);
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // QSettings replaces a file keeping its mode, so a file made owner-only here stays so.
    // The installer's store is only tightened: an empty one made here would stand for nothing.
    QFile file(mainFile);
    if (!file.exists())
        file.open(QIODevice::WriteOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (bootstrapStoreExists())
        QFile::setPermissions(bootstrapStoreLocation(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
