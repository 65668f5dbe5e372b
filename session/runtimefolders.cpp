#include "session/runtimefolders.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

// Removes the folder and what it holds; a link inside is removed itself, never followed.
bool removeTree(const QString& path)
{
    const QStringList names =
        QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    bool removedAll = true;
    for (const QString& name : names) {
        const QString entryPath = QDir(path).filePath(name);
        if (isOwnRealFolder(entryPath))
            removedAll &= removeTree(entryPath);
        else // a file, or a link removed as itself (rmdir for Windows folder links and junctions)
            removedAll &= QFile::remove(entryPath) || QDir().rmdir(entryPath);
    }
    return removedAll && QDir().rmdir(path);
}

} // namespace

QString runtimeFolderTemplate()
{
    return runtimeFolderParent() + u'/' + QLatin1String(kRuntimeFolderPrefix) +
           QStringLiteral("XXXXXX");
}

bool isRuntimeFolderName(const QString& name)
{
    // Anchored at the very end: "$" alone would also accept a name ending in a line feed.
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("%1[A-Za-z0-9]{6}").arg(QLatin1String(kRuntimeFolderPrefix))));
    return pattern.match(name).hasMatch();
}

int removeStaleRuntimeFolders(const QString& tempFolder)
{
    const QDir folder(tempFolder);
    // Only names are listed; each candidate is then checked as itself, not through a link.
    const QStringList names =
        folder.entryList({QLatin1String(kRuntimeFolderPrefix) + u'*'},
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    int removed = 0;
    for (const QString& name : names) {
        const QString path = folder.filePath(name);
        if (isRuntimeFolderName(name) && isOwnRealFolder(path) && removeTree(path))
            ++removed;
    }
    return removed;
}
