// The real client executable, started offscreen in a temporary home.

#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

// One client process with its own home and runtime folder.
class Client
{
public:
    explicit Client(const QString& home) : m_home(home), m_runtime(home + QStringLiteral("/run"))
    {
        QDir().mkpath(m_runtime);
        QFile::setPermissions(m_runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home);
        env.remove(QStringLiteral("XDG_CONFIG_HOME"));
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        env.remove(QStringLiteral("XDG_CACHE_HOME"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime);
        // A client removes the runtime folders of this user's killed clients from its
        // temporary folder at start: never those of tests running beside it.
        const QString temp = m_home + QStringLiteral("/tmp");
        QDir().mkpath(temp);
        env.insert(QStringLiteral("TMPDIR"), temp);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    }

    ~Client()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    void start(const QStringList& arguments = {})
    {
        m_process.start(QStringLiteral(ORVIK_CLIENT_EXE), arguments);
    }

    QString socketPath() const { return m_runtime + QStringLiteral("/OrvikVPN.Client.instance"); }

    // Serving: the instance channel exists and the process has lived long enough to have
    // loaded its window (a failed load ends the process with 1 at once).
    bool waitUntilServing()
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 15000) {
            if (m_process.state() == QProcess::NotRunning)
                return false;
            if (QFile::exists(socketPath())) {
                QTest::qWait(1000);
                return m_process.state() == QProcess::Running;
            }
            QTest::qWait(50);
        }
        return false;
    }

    void sendSignal(int signalNumber) { ::kill(pid_t(m_process.processId()), signalNumber); }

    bool waitForExit(int milliseconds) { return m_process.waitForFinished(milliseconds); }
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    QProcess::ProcessState state() const { return m_process.state(); }

private:
    QString m_home;
    QString m_runtime;
    QProcess m_process;
};

QStringList filesBelow(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

} // namespace

class ExecutableTest : public QObject
{
    Q_OBJECT

private slots:
    void quitsCleanlyAndWritesOnlyItsOwnFiles_data();
    void quitsCleanlyAndWritesOnlyItsOwnFiles();
    void oneClientPerUser();
};

void ExecutableTest::quitsCleanlyAndWritesOnlyItsOwnFiles_data()
{
    // clang-format off
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << QStringList() << int(SIGTERM);
    QTest::newRow("SIGINT, --connect-saved") << QStringList{"--connect-saved"} << int(SIGINT);
    QTest::newRow("SIGHUP, the switch twice in any case") << QStringList{"--Connect-Saved", "--connect-saved"} << int(SIGHUP);
    QTest::newRow("unknown arguments ignored") << QStringList{"--verbose", "file.txt"} << int(SIGTERM);
    // clang-format on
}

void ExecutableTest::quitsCleanlyAndWritesOnlyItsOwnFiles()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, signalNumber);
    QTemporaryDir home;
    // What a client that died while connected would have left behind.
    const QString statusPath =
        home.path() + QStringLiteral("/.local/share/OrvikVPN/OrvikVPN/client-status.json");
    QVERIFY(QDir().mkpath(QFileInfo(statusPath).absolutePath()));
    QFile stale(statusPath);
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write(R"({"connected": true, "connecting": true, "status": "Подключено"})");
    stale.close();

    Client client(home.path());
    client.start(arguments);
    QVERIFY(client.waitUntilServing());
    const QDateTime signalled = QDateTime::currentDateTime();
    client.sendSignal(signalNumber);
    QVERIFY(client.waitForExit(10000));
    QCOMPARE(client.exitStatus(), QProcess::NormalExit);
    QCOMPARE(client.exitCode(), 0);
    // An orderly end takes the instance channel down with it.
    QVERIFY(!QFile::exists(client.socketPath()));

    // The controller was shut down: its last word in the status file is "not connected".
    QVERIFY(QFileInfo(statusPath).lastModified() >= signalled);
    QFile status(statusPath);
    QVERIFY(status.open(QIODevice::ReadOnly));
    const QJsonObject root = QJsonDocument::fromJson(status.readAll()).object();
    QCOMPARE(root.value(QStringLiteral("connected")), QJsonValue(false));
    QCOMPARE(root.value(QStringLiteral("connecting")), QJsonValue(false));

    for (const QString& file : filesBelow(home.path())) {
        QVERIFY2(file.startsWith(QLatin1String(".config/OrvikVPN/")) ||
                     file.startsWith(QLatin1String(".local/share/OrvikVPN/")) ||
                     file.startsWith(QLatin1String(".cache/OrvikVPN/")),
                 qPrintable(QStringLiteral("unexpected file: ") + file));
    }
}

// The instance channel: a crash leaves it behind without harm, any connection is a show
// request, a second start of the same user ends at once, another user's client serves on.
void ExecutableTest::oneClientPerUser()
{
    QTemporaryDir home;
    Client crashed(home.path());
    crashed.start();
    QVERIFY(crashed.waitUntilServing());
    crashed.sendSignal(SIGKILL);
    QVERIFY(crashed.waitForExit(5000));
    QVERIFY(QFile::exists(crashed.socketPath()));

    Client first(home.path());
    first.start();
    QVERIFY(first.waitUntilServing());
    for (const QByteArray& message : {QByteArray("show"), QByteArray("hello"), QByteArray()}) {
        QLocalSocket socket;
        socket.connectToServer(first.socketPath());
        QVERIFY(socket.waitForConnected(1000));
        if (!message.isEmpty()) {
            // The client may close before the bytes are out; it must serve on either way.
            socket.write(message);
            socket.waitForBytesWritten(1000);
        }
        QVERIFY(socket.state() == QLocalSocket::UnconnectedState ||
                socket.waitForDisconnected(2000));
    }

    // A second start that failed to reach the first would serve on its own and never end.
    Client second(home.path());
    second.start();
    QVERIFY(second.waitForExit(5000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);

    QTemporaryDir otherHome;
    Client other(otherHome.path());
    other.start();
    QVERIFY(other.waitUntilServing());
    for (Client* client : {&first, &other}) {
        QCOMPARE(client->state(), QProcess::Running);
        client->sendSignal(SIGTERM);
        QVERIFY(client->waitForExit(10000));
        QCOMPARE(client->exitCode(), 0);
    }
}

ORVIK_TEST_MAIN(ExecutableTest, QCoreApplication)
#include "tst_executable.moc"
