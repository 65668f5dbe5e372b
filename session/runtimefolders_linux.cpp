#include "session/runtimefolders_linux.h"
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

bool isPrivateFolder(const QString& path)
{
    struct stat info = {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

QString privateRuntimeDir()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return isPrivateFolder(runtime) ? QDir::cleanPath(runtime) : QString();
}

QString runtimeFolderParent()
{
    // The documents hold passwords: memory beats /tmp, which Debian keeps on disk.
    const QString runtime = privateRuntimeDir();
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}
