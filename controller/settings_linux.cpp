#include "controller/settings.h"

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
