#include "session/runtimefolders.h"
#include "session/runtimefolders_win32.h"

#include <QDir>

bool isOwnRealFolder(const QString& path)
{
    const QString native = QDir::toNativeSeparators(path);
    return isFolderOfCurrentUser(reinterpret_cast<const wchar_t*>(native.utf16()));
}

QString runtimeFolderParent()
{
    return QDir::tempPath();
}
