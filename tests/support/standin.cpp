#include "tests/support/standin.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_UNIX
#include <signal.h>
#endif

namespace standin {

void clearEnvironment()
{
    for (const char* name : {kRecord, kHosts, kExitAtOnce, kExitAfter, kNoListen, kListenAfter,
                             kPrint, kIgnoreTerm, kClearParentDeathSignal})
        qunsetenv(name);
}

QString hostMapEntry(const QString& host, quint16 hostPort, quint16 localPort)
{
    return QStringLiteral("%1:%2=127.0.0.1:%3").arg(host).arg(hostPort).arg(localPort);
}

namespace {

QStringList readLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

QList<Start> readStarts(const QString& recordFolder)
{
    QList<Start> starts;
    for (const QString& line : readLines(recordFolder + QStringLiteral("/starts.log"))) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() == 5)
            starts.append({fields.at(0), fields.at(1).toLongLong(), fields.at(2).toLongLong(),
                           fields.at(3), fields.at(4).toInt()});
    }
    return starts;
}

bool createdBefore(const Start& earlier, const Start& later)
{
    if (earlier.creationTicks != later.creationTicks)
        return earlier.creationTicks < later.creationTicks;
    return earlier.pid < later.pid;
}

QStringList readConnects(const QString& recordFolder)
{
    return readLines(recordFolder + QStringLiteral("/connects.log"));
}

bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    const char state = close >= 0 && close + 2 < text.size() ? text.at(close + 2) : '?';
    return state == 'Z' || state == 'X';
}

void killProcess(qint64 pid)
{
#ifdef Q_OS_UNIX
    if (pid > 0)
        ::kill(pid_t(pid), SIGKILL);
#else
    Q_UNUSED(pid);
#endif
}

QList<qint64> childProcesses(qint64 pid)
{
    QList<qint64> children;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks.filePath(task) + QStringLiteral("/children"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& child : file.readAll().split(' ')) {
            if (!child.trimmed().isEmpty())
                children.append(child.trimmed().toLongLong());
        }
    }
    return children;
}

} // namespace standin
