#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// Helpers for tests that run the stand-in cores (tests/standin/, see tests/README.md).
namespace standin {

// The environment variables the stand-ins read.
inline constexpr char kRecord[] = "ORVIK_STANDIN_RECORD";
inline constexpr char kHosts[] = "ORVIK_STANDIN_HOSTS";
inline constexpr char kExitAtOnce[] = "ORVIK_STANDIN_EXIT_AT_ONCE";
inline constexpr char kExitAfter[] = "ORVIK_STANDIN_EXIT_AFTER";
inline constexpr char kNoListen[] = "ORVIK_STANDIN_NO_LISTEN";
inline constexpr char kListenAfter[] = "ORVIK_STANDIN_LISTEN_AFTER";
inline constexpr char kPrint[] = "ORVIK_STANDIN_PRINT";
inline constexpr char kIgnoreTerm[] = "ORVIK_STANDIN_IGNORE_TERM";
inline constexpr char kClearParentDeathSignal[] = "ORVIK_STANDIN_CLEAR_PDEATHSIG";

// Unsets every variable above.
void clearEnvironment();

// "www.google.com:443=127.0.0.1:PORT" for ORVIK_STANDIN_HOSTS (joined by ',').
inline QString hostMapEntry(const QString& host, quint16 hostPort, quint16 localPort)
{
    return QString("%1:%2=127.0.0.1:%3").arg(host).arg(hostPort).arg(localPort);
}

// A port on 127.0.0.1 that nobody listens on.
quint16 closedPort();

// One start of a stand-in, in the order the starts were recorded.
struct Start
{
    QString core; // "sing-box" or "xray"
    qint64 pid = 0;
    qint64 creationTicks = 0; // Linux: process creation, clock ticks since boot
    QString configPath;
    int parentDeathSignal = 0; // Linux: the signal the core gets when the client dies
};
QList<Start> readStarts(const QString& recordFolder);

// True when `earlier` was created before `later` (creation tick, then pid).
inline bool createdBefore(const Start& earlier, const Start& later)
{
    return std::pair(earlier.creationTicks, earlier.pid) <
           std::pair(later.creationTicks, later.pid);
}

// The CONNECT requests the stand-ins received: "core\tdomain|ipv4\thost\tport" lines.
QStringList readConnects(const QString& recordFolder);

// True when no live process has that id (a zombie counts as gone).
bool processGone(qint64 pid);

// Kills the process outright (tests tidy up after a failed check with it).
void killProcess(qint64 pid);

// Linux: the ids of the process's children.
QList<qint64> childProcesses(qint64 pid);

// The Xray stand-in alone as a plain SOCKS5 relay on 127.0.0.1, for code that talks to a
// proxy; killed when this object goes.
class Relay
{
public:
    ~Relay()
    {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    // ORVIK_STANDIN_HOSTS for the relay; returns why it did not start, empty once it listens.
    QString start(const QString& hostMap);
    quint16 port() const { return m_port; }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace standin
