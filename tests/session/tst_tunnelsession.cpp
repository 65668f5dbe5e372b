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

const PhysicalAdapter kAdapter{QStringLiteral("eth0"), QStringLiteral("192.168.50.10"),
                               QStringLiteral("192.168.50.1")};

// A Hysteria2 profile (sing-box alone) or a VLESS one (Xray, then sing-box) for that server.
ServerProfile profileOfKind(const QString& kind, QString host)
{
    if (host.contains(u':'))
        host = u'[' + host + u']';
    const QString uri =
        kind == QLatin1String("vless")
            ? QStringLiteral("vless://6f1d0c55-3a0e-4c1b-9d7e-2b8f4a6c9e01@%1:443?security=reality"
                             "&sni=example.org&pbk=SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc"
                             "&sid=0a1b2c3d&flow=xtls-rprx-vision#Test")
            : QStringLiteral("hy2://hy2-Secret-Passw0rd@%1:8443?sni=example.org#Test");
    return testenv::parsedProfile(uri.arg(host));
}

// The session's signals in the order they arrived.
class SignalLog : public QObject
{
public:
    explicit SignalLog(TunnelSession& session)
    {
        connect(&session, &TunnelSession::ready, this, [this](quint16 port) {
            events.append(QStringLiteral("ready"));
            readyPort = port;
        });
        connect(&session, &TunnelSession::failed, this, [this](const QString& text) {
            events.append(QStringLiteral("failed"));
            error = text;
        });
        connect(&session, &TunnelSession::stopped, this,
                [this] { events.append(QStringLiteral("stopped")); });
    }

    bool waitFor(const QString& event, int milliseconds)
    {
        return QTest::qWaitFor([this, event] { return events.contains(event); }, milliseconds);
    }

    QStringList events;
    QString error;
    quint16 readyPort = 0;
};

constexpr QFileDevice::Permissions kGroupOrOther =
    QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
    QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

} // namespace

class TestTunnelSession : public QObject
{
    Q_OBJECT

private:
    QString records() const { return m_records->path(); }
    // An application folder with copies of the chosen stand-ins.
    QString coreFolder(const QString& cores);
    void verifyRuntimeFoldersGone();

    std::unique_ptr<QTemporaryDir> m_records;
    std::unique_ptr<QTemporaryDir> m_scratch;
    QByteArray m_tmpdir;
    QByteArray m_runtime;

private slots:
    void init();
    void cleanup();

    void serverAddressFromLookup_data();
    void serverAddressFromLookup();
    void readyForProfile_data();
    void readyForProfile();
    void failure_data();
    void failure();
    void staleLookupIgnored_data();
    void staleLookupIgnored();
    void stopWhileLaunchingAndWhenIdle();
    void restartWaitsForTheOldCoresAndIgnoresTheirEnd_data();
    void restartWaitsForTheOldCoresAndIgnoresTheirEnd();
    void coresDieWithKilledClient_data();
    void coresDieWithKilledClient();
};

void TestTunnelSession::init()
{
    m_tmpdir = qgetenv("TMPDIR");
    m_runtime = qgetenv("XDG_RUNTIME_DIR");
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
        const QList<qint64> pids = standin::childProcesses(start.pid) << start.pid;
        for (const qint64 pid : pids) {
            if (!standin::processGone(pid))
                standin::killProcess(pid);
        }
        QDir(QFileInfo(start.configPath).absolutePath()).removeRecursively();
    }
    standin::clearEnvironment();
    if (m_tmpdir.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", m_tmpdir);
    qputenv("XDG_RUNTIME_DIR", m_runtime);
    setAdapterSource({});
    m_records.reset();
    m_scratch.reset();
}

QString TestTunnelSession::coreFolder(const QString& cores)
{
    const QString folder = m_scratch->filePath(QStringLiteral("app"));
    QDir().mkpath(folder);
    const bool notExecutable = cores.endsWith(QLatin1String(" not executable"));
    for (const Core core : {Core::SingBox, Core::Xray}) {
        const QString name =
            core == Core::SingBox ? QStringLiteral("sing-box") : QStringLiteral("xray");
        if (!notExecutable && cores != name + QStringLiteral(" only"))
            continue;
        const QString target = corePath(folder, core);
        // A failed copy shows up as a different failure text.
        QFile::copy(corePath(QCoreApplication::applicationDirPath(), core), target);
        if (notExecutable && cores.startsWith(name))
            QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    return folder;
}

void TestTunnelSession::verifyRuntimeFoldersGone()
{
    for (const standin::Start& start : standin::readStarts(records()))
        QVERIFY2(!QFileInfo::exists(QFileInfo(start.configPath).absolutePath()),
                 qPrintable(start.configPath));
}

void TestTunnelSession::serverAddressFromLookup_data()
{
    QTest::addColumn<QStringList>("answer");
    QTest::addColumn<QString>("expected");

    QTest::newRow("first IPv4") << QStringList{"203.0.113.7", "203.0.113.8"} << "203.0.113.7";
    QTest::newRow("IPv6 skipped") << QStringList{"2001:db8::1", "203.0.113.9"} << "203.0.113.9";
    QTest::newRow("fake-IP range skipped")
        << QStringList{"198.18.0.5", "198.18.255.1", "203.0.113.10"} << "203.0.113.10";
    QTest::newRow("only fake IPs") << QStringList{"198.18.0.5"} << QString();
    QTest::newRow("only IPv6") << QStringList{"::1", "2001:db8::2"} << QString();
    QTest::newRow("198.180 is not the fake range") << QStringList{"198.180.1.1"} << "198.180.1.1";
    QTest::newRow("empty answer") << QStringList{} << QString();
}

void TestTunnelSession::serverAddressFromLookup()
{
    QFETCH(QStringList, answer);
    QFETCH(QString, expected);
    QList<QHostAddress> addresses;
    for (const QString& text : answer)
        addresses.append(QHostAddress(text));
    QCOMPARE(pickServerAddress(addresses), expected);
}

void TestTunnelSession::readyForProfile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("cores");

    QTest::newRow("Hysteria2: sing-box alone") << "hysteria2" << QStringList{"sing-box"};
    QTest::newRow("VLESS: Xray, then sing-box") << "vless" << QStringList{"xray", "sing-box"};
}

// Up, proven by the HTTPS check through the cores, and down again.
void TestTunnelSession::readyForProfile()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, cores);

    const QString host = httpsCheckUrls().at(0).host();
    HttpsTestServer server({host});
    server.setResponse("/generate_204", HttpsTestResponse{204, {}, {}});
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    qputenv(standin::kHosts, standin::hostMapEntry(host, 443, server.port()).toLatin1());

    TunnelSession session(QCoreApplication::applicationDirPath());
    SignalLog log(session);
    session.start(profileOfKind(kind, QStringLiteral("127.0.0.1")), {});
    QVERIFY(session.isRunning());
    QVERIFY2(log.waitFor(QStringLiteral("ready"), 10000), qPrintable(log.error));
    QCOMPARE(log.events, QStringList{"ready"});
    QCOMPARE(session.socksPort(), log.readyPort);
    QCOMPARE(session.adapter(), kAdapter);

    // A core may write its start record a moment after the session is ready.
    QTRY_COMPARE(standin::readStarts(records()).size(), cores.size());
    QList<standin::Start> starts = standin::readStarts(records());
    std::sort(starts.begin(), starts.end(), standin::createdBefore);
    QStringList started;
    QStringList connects;
    for (const standin::Start& start : starts) {
        started.append(start.core);
        connects.append(start.core + QStringLiteral("\tdomain\t%1\t443").arg(host));
#ifdef Q_OS_LINUX
        QCOMPARE(start.parentDeathSignal, 9); // SIGKILL
#endif
    }
    QCOMPARE(started, cores);

    // The check goes through every core, by name, on the port the session reported.
    HttpsCheck check(log.readyPort);
    QSignalSpy finished(&check, &HttpsCheck::finished);
    check.start();
    QVERIFY(finished.wait(15000));
    QCOMPARE(finished.at(0).at(1).toString(), QString());
    QCOMPARE(server.requestCount(), 1);
    QStringList received = standin::readConnects(records());
    received.sort();
    connects.sort();
    QCOMPARE(received, connects);

    // The runtime folder is the owner's alone, in the per-user runtime folder; the
    // documents, read by the cores at start, are gone once the tunnel is up.
    const QString folder = QFileInfo(starts.constLast().configPath).absolutePath();
    QVERIFY2(QFileInfo(folder).fileName().startsWith(QLatin1String("OrvikVPN-runtime-")),
             qPrintable(folder));
    QCOMPARE(QFileInfo(folder).absolutePath(),
             QFileInfo(qEnvironmentVariable("XDG_RUNTIME_DIR")).absoluteFilePath());
    QCOMPARE(QFile::permissions(folder) & kGroupOrOther, QFileDevice::Permissions());
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList());

    session.stop();
    QCOMPARE(log.events, (QStringList{"ready", "stopped"}));
    QVERIFY(!session.isRunning());
    QCOMPARE(session.socksPort(), quint16(0));
    QVERIFY(!QFileInfo::exists(folder));
    for (const standin::Start& start : starts)
        QTRY_VERIFY(standin::processGone(start.pid));
}

void TestTunnelSession::failure_data()
{
    // clang-format off
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("cores");
    QTest::addColumn<bool>("adapterUsable");
    QTest::addColumn<QByteArray>("faultVariable");
    QTest::addColumn<QByteArray>("faultValue");
    QTest::addColumn<bool>("printSecrets");
    QTest::addColumn<bool>("readyFirst");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("detail");

    const QString local = QStringLiteral("127.0.0.1");
    const QString coreMissing = QStringLiteral("Не найдено VPN-ядро. Восстановите установку приложения.");
    const QString coreStopped = QStringLiteral("VPN-ядро остановилось. ");
    const QString cannotStart = QStringLiteral("Не удалось запустить VPN-ядро: ");
    const QString noIpv4 = QStringLiteral("DNS не вернул IPv4-адрес VPN-сервера: ");
    const QByteArray none;
    // More than the output budget takes in before the core has ended: only the last read
    // after its end brings its last words (the text is then cut to its end, without prefix).
    const QByteArray flood = "sing-box:" + QByteArray(100000, 'x') + " last words";

    QTest::newRow("no usable adapter") << "vless" << local << "both" << false << none << none << false << false << "Не найдено подключение Wi-Fi или Ethernet с доступом в интернет." << QString();
    QTest::newRow("sing-box missing") << "hysteria2" << local << "xray only" << true << none << none << false << false << coreMissing << QString();
    QTest::newRow("Xray missing for VLESS") << "vless" << local << "sing-box only" << true << none << none << false << false << coreMissing << QString();
    QTest::newRow("lookup answers IPv6 only") << "vless" << "::1" << "both" << true << none << none << false << false << noIpv4 + "::1" << QString();
    QTest::newRow("lookup finds nothing") << "hysteria2" << "orvik-no-such-host.invalid" << "both" << true << none << none << false << false << noIpv4 + "orvik-no-such-host.invalid" << QString();
    // Nobody, not even root, can make a folder in /proc.
    QTest::newRow("no runtime folder") << "vless" << local << "both" << true << QByteArray("TMPDIR") << QByteArray("/proc") << false << false << "Не удалось подготовить локальный VPN." << QString();
    QTest::newRow("sing-box cannot be started") << "hysteria2" << local << "sing-box not executable" << true << none << none << false << false << cannotStart << "Permission denied";
    QTest::newRow("Xray cannot be started") << "vless" << local << "xray not executable" << true << none << none << false << false << cannotStart << "Permission denied";
    QTest::newRow("sing-box exits before ready") << "vless" << local << "both" << true << QByteArray(standin::kExitAtOnce) << QByteArray("sing-box:FATAL sing-box gave up") << false << false << coreStopped << "FATAL sing-box gave up";
    QTest::newRow("Xray exits before ready") << "vless" << local << "both" << true << QByteArray(standin::kExitAtOnce) << QByteArray("xray:Failed to start: xray gave up") << false << false << coreStopped << "xray gave up";
    QTest::newRow("last words after a flood") << "hysteria2" << local << "both" << true << QByteArray(standin::kExitAtOnce) << flood << false << false << QString() << "x last words";
    QTest::newRow("sing-box exits after ready") << "hysteria2" << local << "both" << true << QByteArray(standin::kExitAfter) << QByteArray("sing-box:800") << false << true << coreStopped << "exiting after the asked delay";
    QTest::newRow("Xray exits after ready") << "vless" << local << "both" << true << QByteArray(standin::kExitAfter) << QByteArray("xray:800") << false << true << coreStopped << "exiting after the asked delay";
    QTest::newRow("credentials printed by a core are hidden") << "vless" << local << "both" << true << QByteArray(standin::kExitAtOnce) << QByteArray("sing-box") << true << false << coreStopped << "[скрыто]";
    QTest::newRow("port never opens: 10 s limit") << "hysteria2" << local << "both" << true << QByteArray(standin::kNoListen) << QByteArray("sing-box") << false << false << "VPN не запустился за 10 секунд. " << "not listening, as asked";
    // clang-format on
}

void TestTunnelSession::failure()
{
    QFETCH(QString, kind);
    QFETCH(QString, host);
    QFETCH(QString, cores);
    QFETCH(bool, adapterUsable);
    QFETCH(QByteArray, faultVariable);
    QFETCH(QByteArray, faultValue);
    QFETCH(bool, printSecrets);
    QFETCH(bool, readyFirst);
    QFETCH(QString, prefix);
    QFETCH(QString, detail);

    if (!adapterUsable)
        setAdapterSource([] {
            return PhysicalAdapter{QString(), QString(), QStringLiteral("10.0.0.1")};
        });
    if (faultVariable == "TMPDIR") // the temporary folder is only the second choice
        qunsetenv("XDG_RUNTIME_DIR");
    if (!faultVariable.isEmpty())
        qputenv(faultVariable.constData(), faultValue);
    const ServerProfile profile = profileOfKind(kind, host);
    if (printSecrets) {
        qputenv(standin::kPrint, ("sing-box:uri " + profile.uri + " password " +
                                  profile.credential + " key " + profile.publicKey)
                                     .toUtf8());
    }
    const QString appDir =
        cores == QLatin1String("both") ? QCoreApplication::applicationDirPath() : coreFolder(cores);

    TunnelSession session(appDir);
    SignalLog log(session);
    session.start(profile, {});
    QVERIFY(log.waitFor(QStringLiteral("failed"), 20000));
    QTest::qWait(50);

    QStringList expected{QStringLiteral("stopped"), QStringLiteral("failed")};
    if (readyFirst)
        expected.prepend(QStringLiteral("ready"));
    QCOMPARE(log.events, expected);
    QVERIFY2(log.error.startsWith(prefix), qPrintable(log.error));
    if (detail.isEmpty())
        QCOMPARE(log.error, prefix);
    else
        QVERIFY2(log.error.contains(detail), qPrintable(log.error));
    if (printSecrets) {
        for (const QString& secret : {profile.uri, profile.credential, profile.publicKey})
            QVERIFY2(!log.error.contains(secret), qPrintable(log.error));
    }
    QVERIFY(!session.isRunning());
    QCOMPARE(session.socksPort(), quint16(0));
    verifyRuntimeFoldersGone();
    for (const standin::Start& start : standin::readStarts(records()))
        QTRY_VERIFY(standin::processGone(start.pid));
}

void TestTunnelSession::staleLookupIgnored_data()
{
    QTest::addColumn<bool>("newerStart");
    QTest::newRow("answer after stop") << false;
    QTest::newRow("answer after a newer start") << true;
}

// A VLESS start by name whose answer comes too late must not launch Xray.
void TestTunnelSession::staleLookupIgnored()
{
    QFETCH(bool, newerStart);

    TunnelSession session(QCoreApplication::applicationDirPath());
    SignalLog log(session);
    session.start(profileOfKind(QStringLiteral("vless"), QStringLiteral("localhost")), {});
    if (newerStart)
        session.start(profileOfKind(QString(), QStringLiteral("127.0.0.1")), {});
    else
        session.stop();
    QCOMPARE(log.events, QStringList{"stopped"});

    QTest::qWait(1500);
    const QList<standin::Start> starts = standin::readStarts(records());
    if (newerStart) {
        QCOMPARE(log.events, (QStringList{"stopped", "ready"}));
        QCOMPARE(starts.size(), 1);
        QCOMPARE(starts.at(0).core, QStringLiteral("sing-box"));
        session.stop();
    } else {
        QCOMPARE(log.events, QStringList{"stopped"});
        QVERIFY(starts.isEmpty());
    }
    QVERIFY(!session.isRunning());
}

void TestTunnelSession::stopWhileLaunchingAndWhenIdle()
{
    qputenv(standin::kListenAfter, "sing-box:5000");
    TunnelSession session(QCoreApplication::applicationDirPath());
    SignalLog log(session);
    session.stop();
    QVERIFY(log.events.isEmpty());

    session.start(profileOfKind(QStringLiteral("vless"), QStringLiteral("127.0.0.1")), {});
    QVERIFY(QTest::qWaitFor([this] { return standin::readStarts(records()).size() == 2; }, 10000));
    const QList<standin::Start> starts = standin::readStarts(records());
    QVERIFY(QFileInfo::exists(QFileInfo(starts.at(0).configPath).absolutePath()));
    session.stop();
    QCOMPARE(log.events, QStringList{"stopped"});
    verifyRuntimeFoldersGone();
    for (const standin::Start& start : starts)
        QTRY_VERIFY(standin::processGone(start.pid));
}

void TestTunnelSession::restartWaitsForTheOldCoresAndIgnoresTheirEnd_data()
{
    QTest::addColumn<QByteArray>("ignoringTerminate");
    QTest::newRow("cores end when asked") << QByteArray();
    QTest::newRow("sing-box ignores terminate") << QByteArray("sing-box");
    QTest::newRow("Xray ignores terminate") << QByteArray("xray");
}

void TestTunnelSession::restartWaitsForTheOldCoresAndIgnoresTheirEnd()
{
    QFETCH(QByteArray, ignoringTerminate);
    qputenv(standin::kIgnoreTerm, ignoringTerminate);
    TunnelSession session(QCoreApplication::applicationDirPath());
    SignalLog log(session);
    session.start(profileOfKind(QStringLiteral("vless"), QStringLiteral("127.0.0.1")), {});
    QVERIFY2(log.waitFor(QStringLiteral("ready"), 10000), qPrintable(log.error));
    QTRY_COMPARE(standin::readStarts(records()).size(), 2);
    const QList<standin::Start> first = standin::readStarts(records());

    // The old run ends for its owner at once; its cores end while the event loop runs.
    QElapsedTimer clock;
    clock.start();
    session.start(profileOfKind(QStringLiteral("vless"), QStringLiteral("127.0.0.1")), {});
    QVERIFY2(clock.elapsed() < 400, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(log.events, (QStringList{"ready", "stopped"}));

    // The new cores start once the old ones are gone (a core that ignores the request had
    // its 600 ms before the kill), and the old cores' end is no failure of the new run.
    QVERIFY(QTest::qWaitFor([&log] { return log.events.size() >= 3; }, 10000));
    QCOMPARE(log.events, (QStringList{"ready", "stopped", "ready"}));
    if (!ignoringTerminate.isEmpty())
        QVERIFY2(clock.elapsed() >= 590, qPrintable(QString::number(clock.elapsed())));
    for (const standin::Start& start : first)
        QVERIFY(standin::processGone(start.pid));

    session.stop();
    verifyRuntimeFoldersGone();
}

void TestTunnelSession::coresDieWithKilledClient_data()
{
    QTest::addColumn<bool>("coresLoseParentDeathSignal");
    QTest::newRow("parent-death signal") << false;
    // As a core with file capabilities does at exec: only the watchdog is left.
    QTest::newRow("watchdog") << true;
}

void TestTunnelSession::coresDieWithKilledClient()
{
#ifndef Q_OS_LINUX
    QSKIP("Linux process lifetime");
#endif
    QFETCH(bool, coresLoseParentDeathSignal);
    if (coresLoseParentDeathSignal)
        qputenv(standin::kClearParentDeathSignal, "all");

    QProcess client;
    client.start(QCoreApplication::applicationDirPath() + QStringLiteral("/session_orphan_helper"));
    QVERIFY(client.waitForStarted());
    QVERIFY(QTest::qWaitFor(
        [&client] {
            client.waitForReadyRead(50);
            return client.peek(4096).contains("ready") || client.state() == QProcess::NotRunning;
        },
        10000));
    QVERIFY2(client.peek(4096).startsWith("ready"), client.peek(4096));

    QTRY_COMPARE(standin::readStarts(records()).size(), 2);
    const QList<standin::Start> starts = standin::readStarts(records());
    QList<qint64> watched;
    for (const standin::Start& start : starts) {
        QCOMPARE(start.parentDeathSignal, coresLoseParentDeathSignal ? 0 : 9);
        const QList<qint64> watchdogs = standin::childProcesses(start.pid);
        QCOMPARE(watchdogs.size(), 1);
        watched << start.pid << watchdogs;
    }

    client.kill(); // SIGKILL: no clean-up of any kind in the client
    QVERIFY(client.waitForFinished());
    QTest::qWait(1000);
    QList<qint64> survivors;
    for (const qint64 pid : watched) {
        if (!standin::processGone(pid))
            survivors.append(pid);
    }
    // A killed client cannot remove its runtime folder; the clean-up does, and ends survivors.
    QVERIFY2(survivors.isEmpty(), qPrintable(QString::number(survivors.value(0))));
}

ORVIK_TEST_MAIN(TestTunnelSession, QCoreApplication)
#include "tst_tunnelsession.moc"
