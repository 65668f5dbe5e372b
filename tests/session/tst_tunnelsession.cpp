// TunnelSession against the stand-in cores: real processes, real sockets.

#include "config/adaptersource.h"
#include "config/cores.h"
#include "session/httpscheck.h"
#include "session/tunnelsession.h"
#include "tests/support/httpstestserver.h"
#include "tests/support/standin.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

const PhysicalAdapter kAdapter{"eth0", "192.168.50.10", "192.168.50.1"};

ServerProfile profileOfKind(const QString& kind, QString host)
{
    if (host.contains(':'))
        host = '[' + host + ']';
    return testenv::parsedProfile(
        QString(kind == "vless"
                    ? "vless://6f1d0c55-3a0e-4c1b-9d7e-2b8f4a6c9e01@%1:443?security=reality"
                      "&sni=example.org&pbk=SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc"
                      "&sid=0a1b2c3d&flow=xtls-rprx-vision#Test"
                    : "hy2://hy2-Secret-Passw0rd@%1:8443?sni=example.org#Test")
            .arg(host));
}

// A session that logs its signals in the order they arrived.
class LoggedSession : public TunnelSession
{
public:
    explicit LoggedSession(const QString& appDir = QCoreApplication::applicationDirPath())
        : TunnelSession(appDir)
    {
        connect(this, &TunnelSession::ready, this, [this](quint16 port) {
            events.append("ready");
            readyPort = port;
        });
        connect(this, &TunnelSession::failed, this, [this](const QString& text) {
            events.append("failed");
            error = text;
        });
        connect(this, &TunnelSession::stopped, this, [this] { events.append("stopped"); });
    }

    bool waitFor(const QString& event, int milliseconds)
    {
        return QTest::qWaitFor([this, event] { return events.contains(event); }, milliseconds);
    }

    QStringList events;
    QString error;
    quint16 readyPort = 0;
};

} // namespace

class TestTunnelSession : public QObject
{
    Q_OBJECT

private:
    QString records() const { return m_records->path(); }
    void verifyNothingLeft();

    std::unique_ptr<QTemporaryDir> m_records;
    std::unique_ptr<QTemporaryDir> m_scratch;
    const QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();

private slots:
    void init();
    void cleanup();

    void serverAddressFromLookup_data() { testenv::addRowsFromFile("server-address.tsv", 3); }
    void serverAddressFromLookup();
    void readyForProfile_data() { testenv::addRowsFromFile("session-ready.tsv", 3); }
    void readyForProfile();
    void failure_data() { testenv::addRowsFromFile("session-failures.tsv", 8); }
    void failure();
    void staleLookupIgnored_data() { testenv::addRowsFromFile("session-stale-lookup.tsv", 2); }
    void staleLookupIgnored();
    void stopWhileLaunchingAndWhenIdle();
    void restartWaitsForTheOldCoresAndIgnoresTheirEnd_data()
    {
        testenv::addRowsFromFile("session-restart.tsv", 2);
    }
    void restartWaitsForTheOldCoresAndIgnoresTheirEnd();
    void coresDieWithKilledClient_data() { testenv::addRowsFromFile("session-orphans.tsv", 2); }
    void coresDieWithKilledClient();
};

void TestTunnelSession::init()
{
    m_records = std::make_unique<QTemporaryDir>();
    m_scratch = std::make_unique<QTemporaryDir>();
    standin::clearEnvironment();
    qputenv(standin::kRecord, records().toLocal8Bit());
    setAdapterSource([] { return kAdapter; });
}

void TestTunnelSession::cleanup()
{
    // A case that failed half-way still leaves no core, watchdog or document behind.
    for (const standin::Start& start : standin::readStarts(records())) {
        standin::killProcess(start.pid);
        for (const qint64 pid : standin::childProcesses(start.pid))
            standin::killProcess(pid);
        QDir(QFileInfo(start.configPath).absolutePath()).removeRecursively();
    }
    standin::clearEnvironment();
    for (const char* name : {"TMPDIR", "XDG_RUNTIME_DIR"}) {
        if (m_env.contains(name))
            qputenv(name, m_env.value(name).toLocal8Bit());
        else
            qunsetenv(name);
    }
    setAdapterSource({});
    m_records.reset();
    m_scratch.reset();
}

void TestTunnelSession::verifyNothingLeft()
{
    for (const standin::Start& start : standin::readStarts(records())) {
        QVERIFY2(!QFileInfo::exists(QFileInfo(start.configPath).absolutePath()),
                 qPrintable(start.configPath));
        QTRY_VERIFY(standin::processGone(start.pid));
    }
}

void TestTunnelSession::serverAddressFromLookup()
{
    QFETCH(QStringList, row);
    QList<QHostAddress> addresses;
    for (const QString& text : row[1].split(' ', Qt::SkipEmptyParts))
        addresses.append(QHostAddress(text));
    QCOMPARE(pickServerAddress(addresses), row[2]);
}

// Up, proven by the HTTPS check through the cores, and down again.
void TestTunnelSession::readyForProfile()
{
    QFETCH(QStringList, row);
    const QStringList cores = row[2].split(' ');

    const QString host = httpsCheckUrls().at(0).host();
    HttpsTestServer server({host});
    server.setResponse("/generate_204", {204, {}, {}});
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    qputenv(standin::kHosts, standin::hostMapEntry(host, 443, server.port()).toLatin1());

    LoggedSession session;
    session.start(profileOfKind(row[1], "127.0.0.1"), {});
    QVERIFY(session.isRunning());
    QVERIFY2(session.waitFor("ready", 10000), qPrintable(session.error));
    QCOMPARE(session.events, QStringList{"ready"});
    QCOMPARE(session.socksPort(), session.readyPort);
    QCOMPARE(session.adapter(), kAdapter);

    QTRY_COMPARE_WITH_TIMEOUT(standin::readStarts(records()).size(), cores.size(), 15000);
    QList<standin::Start> starts = standin::readStarts(records());
    std::sort(starts.begin(), starts.end(), standin::createdBefore);
    QStringList started;
    QStringList connects;
    for (const standin::Start& start : starts) {
        started.append(start.core);
        connects.append(start.core + QString("\tdomain\t%1\t443").arg(host));
    }
    QCOMPARE(started, cores);

    HttpsCheck check(session.readyPort);
    QSignalSpy finished(&check, &HttpsCheck::finished);
    check.start();
    QVERIFY(finished.wait(15000));
    QCOMPARE(finished.at(0).at(1).toString(), QString());
    QCOMPARE(server.requestCount(), 1);
    QStringList received = standin::readConnects(records());
    received.sort();
    connects.sort();
    QCOMPARE(received, connects);

    // Owner-only runtime folder; the documents are gone once the tunnel is up.
    const QFileInfo folder(QFileInfo(starts.constLast().configPath).absolutePath());
    QVERIFY2(folder.fileName().startsWith("OrvikVPN-runtime-"), qPrintable(folder.filePath()));
    QCOMPARE(folder.absolutePath(),
             QFileInfo(qEnvironmentVariable("XDG_RUNTIME_DIR")).absoluteFilePath());
    QCOMPARE(int(folder.permissions()) & 0x77, 0); // nothing for group or others
    QCOMPARE(QDir(folder.filePath()).entryList(QDir::Files), QStringList());

    session.stop();
    QCOMPARE(session.events, (QStringList{"ready", "stopped"}));
    QVERIFY(!session.isRunning());
    QCOMPARE(session.socksPort(), quint16(0));
    verifyNothingLeft();
}

void TestTunnelSession::failure()
{
    QFETCH(QStringList, row);
    const ServerProfile profile = profileOfKind(row[1], row[2]);
    const QString setup = row[3];
    const QString secrets =
        "uri " + profile.uri + " password " + profile.credential + " key " + profile.publicKey;
    for (const QString& pair : row[4].split('|', Qt::SkipEmptyParts)) {
        const QString value = pair.section('=', 1)
                                  .replace("{secrets}", secrets)
                                  .replace("{flood}", QString(100000, 'x'));
        if (value.isEmpty())
            qunsetenv(qPrintable(pair.section('=', 0, 0)));
        else
            qputenv(qPrintable(pair.section('=', 0, 0)), value.toUtf8());
    }
    if (setup == "no adapter")
        setAdapterSource([] { return PhysicalAdapter{{}, {}, "10.0.0.1"}; });
    QString appDir = QCoreApplication::applicationDirPath();
    if (setup.endsWith(" only") || setup.endsWith(" not executable")) {
        appDir = m_scratch->path();
        for (const Core core : {Core::SingBox, Core::Xray}) {
            const QString target = corePath(appDir, core);
            const bool named = setup.startsWith(core == Core::SingBox ? "sing-box" : "xray");
            if (setup.endsWith(" only") && !named)
                continue;
            QVERIFY(QFile::copy(corePath(QCoreApplication::applicationDirPath(), core), target));
            if (named && setup.endsWith(" not executable"))
                QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
    }

    LoggedSession session(appDir);
    session.start(profile, {});
    QVERIFY(session.waitFor("failed", 20000));
    QTest::qWait(50);
    QCOMPARE(session.events, row[5].split(','));
    QVERIFY2(session.error.startsWith(row[6]), qPrintable(session.error));
    if (row[7].isEmpty())
        QCOMPARE(session.error, row[6]);
    else
        QVERIFY2(session.error.contains(row[7]), qPrintable(session.error));
    for (const QString& secret : {profile.uri, profile.credential, profile.publicKey})
        QVERIFY2(secret.isEmpty() || !session.error.contains(secret), qPrintable(session.error));
    QVERIFY(!session.isRunning());
    QCOMPARE(session.socksPort(), quint16(0));
    verifyNothingLeft();
}

// A VLESS start by name whose answer comes too late must not launch Xray.
void TestTunnelSession::staleLookupIgnored()
{
    QFETCH(QStringList, row);
    const bool newerStart = row[1] == "1";

    LoggedSession session;
    session.start(profileOfKind("vless", "localhost"), {});
    if (newerStart)
        session.start(profileOfKind("hysteria2", "127.0.0.1"), {});
    else
        session.stop();
    QCOMPARE(session.events, QStringList{"stopped"});

    if (newerStart)
        QVERIFY2(session.waitFor("ready", 10000), qPrintable(session.error));
    QTest::qWait(1500); // the lookup of "localhost" has long been answered
    QCOMPARE(session.events,
             (newerStart ? QStringList{"stopped", "ready"} : QStringList{"stopped"}));
    QCOMPARE(standin::readStarts(records()).size(), newerStart ? 1 : 0);
    session.stop();
}

void TestTunnelSession::stopWhileLaunchingAndWhenIdle()
{
    qputenv(standin::kListenAfter, "sing-box:5000");
    LoggedSession session;
    session.stop();
    QVERIFY(session.events.isEmpty());

    session.start(profileOfKind("vless", "127.0.0.1"), {});
    QVERIFY(QTest::qWaitFor([this] { return standin::readStarts(records()).size() == 2; }, 10000));
    QVERIFY(QFileInfo::exists(QFileInfo(standin::readStarts(records()).at(0).configPath).path()));
    session.stop();
    QCOMPARE(session.events, QStringList{"stopped"});
    verifyNothingLeft();
}

void TestTunnelSession::restartWaitsForTheOldCoresAndIgnoresTheirEnd()
{
    QFETCH(QStringList, row);
    qputenv(standin::kIgnoreTerm, row[1].toUtf8());
    LoggedSession session;
    session.start(profileOfKind("vless", "127.0.0.1"), {});
    QVERIFY2(session.waitFor("ready", 10000), qPrintable(session.error));
    QTRY_COMPARE_WITH_TIMEOUT(standin::readStarts(records()).size(), 2, 15000);
    const QList<standin::Start> first = standin::readStarts(records());

    QElapsedTimer clock;
    clock.start();
    session.start(profileOfKind("vless", "127.0.0.1"), {});
    QVERIFY2(clock.elapsed() < 400, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(session.events, (QStringList{"ready", "stopped"}));

    // New cores after the old are gone (600 ms before a kill); their end is no failure.
    QVERIFY(QTest::qWaitFor([&session] { return session.events.size() >= 3; }, 10000));
    QCOMPARE(session.events, (QStringList{"ready", "stopped", "ready"}));
    if (!row[1].isEmpty())
        QVERIFY2(clock.elapsed() >= 590, qPrintable(QString::number(clock.elapsed())));
    for (const standin::Start& start : first)
        QVERIFY(standin::processGone(start.pid));
    session.stop();
    verifyNothingLeft();
}

void TestTunnelSession::coresDieWithKilledClient()
{
#ifndef Q_OS_LINUX
    QSKIP("Linux process lifetime");
#endif
    QFETCH(QStringList, row);
    const bool coresLoseParentDeathSignal = row[1] == "1";
    if (coresLoseParentDeathSignal)
        qputenv(standin::kClearParentDeathSignal, "all");

    QProcess client;
    client.start(QCoreApplication::applicationDirPath() + "/session_orphan_helper");
    QVERIFY(client.waitForReadyRead(10000));
    QVERIFY2(client.peek(4096).startsWith("ready"), client.peek(4096));

    QTRY_COMPARE_WITH_TIMEOUT(standin::readStarts(records()).size(), 2, 15000);
    QList<qint64> watched;
    for (const standin::Start& start : standin::readStarts(records())) {
        QCOMPARE(start.parentDeathSignal, coresLoseParentDeathSignal ? 0 : 9);
        const QList<qint64> watchdogs = standin::childProcesses(start.pid);
        QCOMPARE(watchdogs.size(), 1);
        watched << start.pid << watchdogs;
    }

    client.kill(); // SIGKILL: no clean-up of any kind in the client
    QVERIFY(client.waitForFinished());
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(watched.begin(), watched.end(), standin::processGone),
                             5000);
}

ORVIK_TEST_MAIN(TestTunnelSession, QCoreApplication)
#include "tst_tunnelsession.moc"
