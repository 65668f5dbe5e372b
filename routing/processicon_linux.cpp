#include "routing/processicon.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QPainter>
#include <QSet>

// A program's icon on a Linux desktop: the Icon= of the desktop entry that starts it, else
// an icon named after the executable, looked up in the hicolor theme (where applications
// install their icons) and the pixmaps folders. Only file reads and QImage: this runs on
// the QML image-loading thread and keeps nothing between calls.

namespace {

// $XDG_DATA_HOME first, then $XDG_DATA_DIRS, with the defaults of the XDG base directories.
QStringList dataDirs()
{
    QStringList dirs;
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty())
        home = qEnvironmentVariable("HOME") + QStringLiteral("/.local/share");
    dirs.append(home);
    QString system = qEnvironmentVariable("XDG_DATA_DIRS");
    if (system.isEmpty())
        system = QStringLiteral("/usr/local/share:/usr/share");
    dirs.append(system.split(QLatin1Char(':'), Qt::SkipEmptyParts));
    QStringList usable;
    for (const QString& dir : std::as_const(dirs)) {
        if (dir.startsWith(QLatin1Char('/')) && !usable.contains(dir))
            usable.append(dir);
    }
    return usable;
}

// The general escapes of desktop entry values: \s, \n, \t, \r and \\.
QString unescapeValue(const QString& value)
{
    QString result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            result.append(c);
            continue;
        }
        const QChar next = value.at(++i);
        switch (next.unicode()) {
        case 's':
            result.append(QLatin1Char(' '));
            break;
        case 'n':
            result.append(QLatin1Char('\n'));
            break;
        case 't':
            result.append(QLatin1Char('\t'));
            break;
        case 'r':
            result.append(QLatin1Char('\r'));
            break;
        default:
            result.append(next);
            break; // "\\" and anything unknown
        }
    }
    return result;
}

// The words of an Exec= command line: double quotes group, a backslash inside them
// escapes the next character.
QStringList execWords(const QString& exec)
{
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (quoted) {
            if (c == QLatin1Char('\\') && i + 1 < exec.size())
                word.append(exec.at(++i));
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                word.append(c);
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else {
            word.append(c);
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

// The program an Exec= line starts, looking through "env VAR=value ...".
QString execProgram(const QString& exec)
{
    const QStringList words = execWords(exec);
    qsizetype i = 0;
    if (i < words.size() && QFileInfo(words.at(i)).fileName() == QLatin1String("env")) {
        ++i;
        while (i < words.size() &&
               (words.at(i).contains(QLatin1Char('=')) || words.at(i).startsWith(QLatin1Char('-'))))
            ++i;
    }
    return i < words.size() ? words.at(i) : QString();
}

struct DesktopEntry
{
    QString program; // what Exec= starts
    QString tryExec;
    QString icon;
    bool hidden = false;
};

DesktopEntry readDesktopEntry(const QString& fileName)
{
    DesktopEntry entry;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 1024 * 1024)
        return entry;
    const QByteArray content = file.readAll();
    bool inMainGroup = false;
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype end = content.indexOf('\n', start);
        if (end < 0)
            end = content.size();
        const QByteArray line = content.mid(start, end - start).trimmed();
        start = end + 1;
        if (line.startsWith('[')) {
            // Only the main group describes the program; actions follow it.
            if (inMainGroup)
                break;
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inMainGroup || equals <= 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        if (key != "Exec" && key != "TryExec" && key != "Icon" && key != "Hidden")
            continue;
        const QString value = unescapeValue(QString::fromUtf8(line.mid(equals + 1).trimmed()));
        if (key == "Exec")
            entry.program = execProgram(value);
        else if (key == "TryExec")
            entry.tryExec = value;
        else if (key == "Icon")
            entry.icon = value;
        else
            entry.hidden = value == QLatin1String("true");
    }
    return entry;
}

QString baseName(const QString& program)
{
    return program.mid(program.lastIndexOf(QLatin1Char('/')) + 1);
}

// Whether program, found through $PATH when it has no folder, is a link to the file at path.
bool leadsTo(const QString& program, const QString& path, const QStringList& searchPath,
             QHash<QString, QString>& resolved)
{
    if (program.isEmpty())
        return false;
    auto found = resolved.constFind(program);
    if (found == resolved.constEnd()) {
        QString target;
        if (program.startsWith(QLatin1Char('/'))) {
            target = QFileInfo(program).canonicalFilePath();
        } else if (!program.contains(QLatin1Char('/'))) {
            for (const QString& dir : searchPath) {
                const QFileInfo candidate(dir + QLatin1Char('/') + program);
                if (candidate.isFile()) {
                    target = candidate.canonicalFilePath();
                    break;
                }
            }
        }
        found = resolved.insert(program, target);
    }
    return !found->isEmpty() && *found == path;
}

// The Icon= of the desktop entry whose Exec or TryExec starts the executable: by file name
// first, else through $PATH and symbolic links. An entry in an earlier data folder hides
// one with the same id in a later folder.
QString desktopEntryIcon(const QStringList& dirs, const QString& path, const QString& fileName)
{
    QSet<QString> seenIds;
    QList<DesktopEntry> others;
    for (const QString& dir : dirs) {
        const QString applications = dir + QStringLiteral("/applications");
        QDirIterator it(applications, {QStringLiteral("*.desktop")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            QString id = file.mid(applications.size() + 1);
            id.replace(QLatin1Char('/'), QLatin1Char('-'));
            if (seenIds.contains(id))
                continue;
            seenIds.insert(id);
            DesktopEntry entry = readDesktopEntry(file);
            if (entry.hidden || entry.icon.isEmpty())
                continue;
            if (baseName(entry.program) == fileName || baseName(entry.tryExec) == fileName)
                return entry.icon;
            others.append(std::move(entry));
        }
    }
    const QStringList searchPath =
        qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    QHash<QString, QString> resolved;
    for (const DesktopEntry& entry : std::as_const(others)) {
        if (leadsTo(entry.program, path, searchPath, resolved) ||
            leadsTo(entry.tryExec, path, searchPath, resolved))
            return entry.icon;
    }
    return {};
}

bool svgSupported()
{
    return QImageReader::supportedImageFormats().contains("svg");
}

// A square of the given side with the picture scaled into it, centred.
QImage squareImage(const QString& file, int side)
{
    QImageReader reader(file);
    if (reader.format() == "svg" || reader.format() == "svgz")
        reader.setScaledSize(QSize(side, side));
    QImage picture = reader.read();
    if (picture.isNull())
        return {};
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    if (square.isNull())
        return {};
    square.fill(Qt::transparent);
    picture = picture.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&square);
    painter.drawImage((side - picture.width()) / 2, (side - picture.height()) / 2, picture);
    painter.end();
    return square;
}

// An icon by name from the hicolor theme, closest size first, then from the pixmaps folders.
QImage namedIcon(const QStringList& dirs, QString name, int side)
{
    for (const char* extension : {".png", ".xpm", ".svg"}) {
        if (name.endsWith(QLatin1String(extension)))
            name.chop(qsizetype(qstrlen(extension)));
    }
    if (name.isEmpty() || name.contains(QLatin1Char('/')))
        return {};

    const bool svg = svgSupported();
    QStringList rasterExtensions = {QStringLiteral(".png"), QStringLiteral(".xpm")};
    QStringList allExtensions = rasterExtensions;
    if (svg)
        allExtensions.append(QStringLiteral(".svg"));

    // The exact size, then any scalable picture, then the next larger sizes (scaled down
    // looks better than scaled up), then the smaller ones.
    static constexpr int sizes[] = {16, 22, 24, 32, 36, 48, 64, 72, 96, 128, 192, 256, 512};
    QStringList sizeDirs;
    for (int size : sizes) {
        if (size == side)
            sizeDirs.append(QStringLiteral("%1x%1").arg(size));
    }
    if (svg)
        sizeDirs.append(QStringLiteral("scalable"));
    for (int size : sizes) {
        if (size > side)
            sizeDirs.append(QStringLiteral("%1x%1").arg(size));
    }
    for (auto it = std::rbegin(sizes); it != std::rend(sizes); ++it) {
        if (*it < side)
            sizeDirs.append(QStringLiteral("%1x%1").arg(*it));
    }

    QStringList themeBases = {qEnvironmentVariable("HOME") + QStringLiteral("/.icons")};
    for (const QString& dir : dirs)
        themeBases.append(dir + QStringLiteral("/icons"));

    for (const QString& sizeDir : std::as_const(sizeDirs)) {
        const QStringList& extensions =
            sizeDir == QLatin1String("scalable") ? allExtensions : rasterExtensions;
        for (const QString& base : std::as_const(themeBases)) {
            const QString stem =
                base + QStringLiteral("/hicolor/") + sizeDir + QStringLiteral("/apps/") + name;
            for (const QString& extension : extensions) {
                if (QFileInfo(stem + extension).isFile()) {
                    const QImage image = squareImage(stem + extension, side);
                    if (!image.isNull())
                        return image;
                }
            }
        }
    }

    for (const QString& dir : dirs) {
        const QString stem = dir + QStringLiteral("/pixmaps/") + name;
        for (const QString& extension : std::as_const(allExtensions)) {
            if (QFileInfo(stem + extension).isFile()) {
                const QImage image = squareImage(stem + extension, side);
                if (!image.isNull())
                    return image;
            }
        }
    }
    return {};
}

} // namespace

QImage processIconImage(const QString& path, int side)
{
    const QString fileName = QFileInfo(path).fileName();
    if (fileName.isEmpty() || side < 1)
        return {};
    const QStringList dirs = dataDirs();

    const QString icon = desktopEntryIcon(dirs, path, fileName);
    if (icon.startsWith(QLatin1Char('/'))) {
        const QImage image = squareImage(icon, side);
        if (!image.isNull())
            return image;
    } else if (!icon.isEmpty()) {
        const QImage image = namedIcon(dirs, icon, side);
        if (!image.isNull())
            return image;
    }
    return namedIcon(dirs, fileName, side);
}
