// The real client executable, started offscreen in a temporary home.

#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

// One client process with its own home and runtime folder.
struct Client
{
    explicit Client(const QString& home)
        : socket(home + QStringLiteral("/run/OrvikVPN.Client.instance"))
    {
        // Its own temporary folder: a client clears stale runtime folders there at start.
        QDir().mkpath(home + QStringLiteral("/tmp"));
        QDir().mkpath(home + QStringLiteral("/run"));
        QFile::setPermissions(home + QStringLiteral("/run"), QFileDevice::ReadOwner |
                                                                 QFileDevice::WriteOwner |
                                                                 QFileDevice::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/run"));
        env.insert(QStringLiteral("TMPDIR"), home + QStringLiteral("/tmp"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
    }

    ~Client()
    {
        process.kill();
        process.waitForFinished(5000);
    }

    // Serving: the instance channel exists and the process has lived long enough to have
    // loaded its window (a failed load ends the process with 1 at once).
    bool startServing(const QStringList& arguments = {})
    {
        process.start(QStringLiteral(ORVIK_CLIENT_EXE), arguments);
        const auto settled = [this] {
            return process.state() == QProcess::NotRunning || QFile::exists(socket);
        };
        return QTest::qWaitFor(settled, 15000) && QFile::exists(socket) &&
               !process.waitForFinished(1000);
    }

    bool endsCleanlyBy(int signalNumber)
    {
        ::kill(pid_t(process.processId()), signalNumber);
        return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }

    QString socket;
    QProcess process;
};

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
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("signalNumber");
    // clang-format off
    QTest::newRow("SIGTERM") << QStringList() << int(SIGTERM);
    QTest::newRow("SIGINT, --connect-saved, unknown arguments") << QStringList{"--connect-saved", "--verbose", "file.txt"} << int(SIGINT);
    QTest::newRow("SIGHUP") << QStringList() << int(SIGHUP);
    // clang-format on
}

void ExecutableTest::quitsCleanlyAndWritesOnlyItsOwnFiles()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, signalNumber);
    QTemporaryDir home;
    // What a client that died while connected would have left behind.
    QVERIFY(QDir(home.path()).mkpath(QStringLiteral(".local/share/OrvikVPN/OrvikVPN")));
    QFile status(home.path() +
                 QStringLiteral("/.local/share/OrvikVPN/OrvikVPN/client-status.json"));
    QVERIFY(status.open(QIODevice::WriteOnly));
    status.write(R"({"connected": true, "connecting": true, "status": "Подключено"})");
    status.close();

    Client client(home.path());
    QVERIFY(client.startServing(arguments));
    QVERIFY(client.endsCleanlyBy(signalNumber));
    // An orderly end takes the instance channel down, and the controller's last word in the
    // status file is "not connected".
    QVERIFY(!QFile::exists(client.socket));
    QVERIFY(status.open(QIODevice::ReadOnly));
    const QJsonObject root = QJsonDocument::fromJson(status.readAll()).object();
    QCOMPARE(root.value(QStringLiteral("connected")), QJsonValue(false));
    QCOMPARE(root.value(QStringLiteral("connecting")), QJsonValue(false));

    QDirIterator it(home.path(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = QDir(home.path()).relativeFilePath(it.next());
        QVERIFY2(file.startsWith(QLatin1String(".config/OrvikVPN/")) ||
                     file.startsWith(QLatin1String(".local/share/OrvikVPN/")) ||
                     file.startsWith(QLatin1String(".cache/OrvikVPN/")),
                 qPrintable(QStringLiteral("unexpected file: ") + file));
    }
}

// The instance channel: a crash leaves it behind without harm, a second start of the same
// user ends at once, another user's client serves on.
void ExecutableTest::oneClientPerUser()
{
    QTemporaryDir home;
    Client crashed(home.path());
    QVERIFY(crashed.startServing());
    crashed.process.kill();
    QVERIFY(crashed.process.waitForFinished(5000));
    QVERIFY(QFile::exists(crashed.socket));

    Client first(home.path());
    QVERIFY(first.startServing());
    // A second start that failed to reach the first would serve on its own and never end.
    Client second(home.path());
    second.process.start(QStringLiteral(ORVIK_CLIENT_EXE), {});
    QVERIFY(second.process.waitForFinished(5000));
    QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.process.exitCode(), 0);

    QTemporaryDir otherHome;
    Client other(otherHome.path());
    QVERIFY(other.startServing());
    QVERIFY(first.endsCleanlyBy(SIGTERM));
    QVERIFY(other.endsCleanlyBy(SIGTERM));
}

ORVIK_TEST_MAIN(ExecutableTest, QCoreApplication)
#include "tst_executable.moc"
