#include "session/runtimefolders.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

bool isOwnRealFolder(const QString& path)
{
    // lstat: a link is judged as the link, not as what it points to.
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
}

QString runtimeFolderParent()
{
    return QDir::tempPath();
}
