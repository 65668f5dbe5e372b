#include "tests/support/standin.h"

#include "config/cores.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>

#ifdef Q_OS_UNIX
#include <signal.h>
#endif

namespace standin {

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void clearEnvironment()
{
    for (const char* name : {kRecord, kHosts, kExitAtOnce, kExitAfter, kNoListen, kListenAfter,
                             kPrint, kIgnoreTerm, kClearParentDeathSignal})
        qunsetenv(name);
}

quint16 closedPort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

QList<Start> readStarts(const QString& recordFolder)
{
    QList<Start> starts;
    for (const QString& line : QString(readFile(recordFolder + "/starts.log")).split('\n')) {
        const QStringList f = line.split('\t');
        if (f.size() == 5)
            starts.append({f[0], f[1].toLongLong(), f[2].toLongLong(), f[3], f[4].toInt()});
    }
    return starts;
}

QStringList readConnects(const QString& recordFolder)
{
    return QString(readFile(recordFolder + "/connects.log")).split('\n', Qt::SkipEmptyParts);
}

bool processGone(qint64 pid)
{
    const QByteArray stat = readFile(QString("/proc/%1/stat").arg(pid));
    const QByteArray state = stat.mid(stat.lastIndexOf(')') + 2, 1);
    return stat.isEmpty() || state == "Z" || state == "X";
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
    const QDir tasks(QString("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const QByteArray& child :
             readFile(tasks.filePath(task) + "/children").simplified().split(' '))
            children.append(child.toLongLong());
    }
    children.removeAll(0);
    return children;
}

QString Relay::start(const QString& hostMap)
{
    m_port = closedPort();
    const QJsonObject inbound{{"tag", "local-socks"}, {"protocol", "socks"}, {"port", m_port}};
    const QString config = m_folder.filePath("xray.json");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(QJsonObject{{"inbounds", QJsonArray{inbound}}}).toJson()) < 0)
        return "cannot write the relay's document";
    file.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kHosts, hostMap);
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(corePath(QCoreApplication::applicationDirPath(), Core::Xray),
                    coreArguments(config));
    QByteArray output;
    while (!output.contains("listening on")) {
        if (!m_process.waitForReadyRead(5000))
            return "the relay did not start: " + QString::fromLocal8Bit(output);
        output += m_process.readAll();
    }
    return {};
}

} // namespace standin
