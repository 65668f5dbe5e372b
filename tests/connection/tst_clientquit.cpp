// The real client executable, connected through the stand-in cores, ended by a signal or the
// display's loss. It trusts only /etc/ssl/certs (Qt's OpenSSL backend), so it runs in a private
// mount namespace where that folder holds the test CA alone; without root the test is skipped.

#include "config/adapter.h"
#include "controller/settings.h"
#include "controller/settingskeys.h"
#include "session/httpscheck.h"
#include "status/statusfile.h"
#include "tests/support/httpstestserver.h"
#include "tests/support/standin.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

const QString kUri = QStringLiteral("hy2://Quit-Test-Secret@127.0.0.1:8443?sni=example.org#Quit");

QJsonObject readStatusFile()
{
    QFile file(statusFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

bool run(const QStringList& command)
{
    return testenv::runProcess(command.first(), command.mid(1)).exitCode == 0;
}

} // namespace

class ClientQuitTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<HttpsTestServer> m_server;
    QTemporaryDir m_scratch;
    QString m_appDir;
    QString m_certs;

private slots:
    void initTestCase();
    void quitWhileConnectedStopsTheCores_data();
    void quitWhileConnectedStopsTheCores();
};

void ClientQuitTest::initTestCase()
{
    if (!run({QStringLiteral("unshare"), QStringLiteral("-m"), QStringLiteral("true")}))
        QSKIP("no private mount namespace here (needs root) for the test CA");
    // The executable picks the machine's own adapter; there is no switch for it.
    if (!queryPhysicalAdapter().isUsable())
        QSKIP("this machine has no usable Ethernet or Wi-Fi adapter for the client to bind to");

    const QList<QUrl>& urls = httpsCheckUrls();
    m_server = std::make_unique<HttpsTestServer>(QStringList{urls.at(0).host(), urls.at(1).host()});
    m_server->setResponse("/generate_204", HttpsTestResponse{204, {}, {}});
    m_server->setResponse("/s/quit", HttpsTestResponse{200, {}, kUri.toUtf8() + '\n'});
    QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));

    // The application folder: the executable with the stand-ins beside it.
    m_appDir = m_scratch.filePath(QStringLiteral("app"));
    QVERIFY(QDir().mkpath(m_appDir));
    QVERIFY(QFile::copy(QStringLiteral(ORVIK_CLIENT_EXE), m_appDir + QStringLiteral("/OrvikVPN")));
    for (const char* core : {"sing-box", "xray"})
        QVERIFY(
            QFile::copy(QStringLiteral(ORVIK_STANDIN_EXE), m_appDir + u'/' + QLatin1String(core)));

    // The certificate folder the client sees: the test CA alone.
    m_certs = m_scratch.filePath(QStringLiteral("certs"));
    QVERIFY(QDir().mkpath(m_certs));
    QFile file(m_certs + QStringLiteral("/orvik-test-ca.pem"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (const QSslCertificate& ca : QSslConfiguration::defaultConfiguration().caCertificates()) {
        if (ca.subjectInfo(QSslCertificate::CommonName)
                .contains(QStringLiteral("OrvikVPN Test CA")))
            QVERIFY(file.write(ca.toPem()) > 0);
    }
    QVERIFY(file.size() > 0);
    file.close();
    QVERIFY(run({QStringLiteral("openssl"), QStringLiteral("rehash"), m_certs}));
}

void ClientQuitTest::quitWhileConnectedStopsTheCores_data()
{
    // clang-format off
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("SIGTERM") << int(SIGTERM) << 0;
    // The X server goes away (0: no signal); the X11 plugin then calls exit(1).
    QTest::newRow("display lost") << 0 << 1;
    // clang-format on
}

void ClientQuitTest::quitWhileConnectedStopsTheCores()
{
    QFETCH(int, signalNumber);
    QFETCH(int, exitCode);
    // A cached subscription, protected through the same keyring the client will use.
    QSettings().clear();
    const QString link = QStringLiteral("https://127.0.0.1:%1/s/quit").arg(m_server->port());
    QVERIFY(settings::writeSecrets({{settingskeys::subscription, link.toUtf8()},
                                    {settingskeys::subscriptionCache, kUri.toUtf8() + '\n'}}));
    QFile::remove(statusFilePath());

    QTemporaryDir records;
    QTemporaryDir temp;
    // What a client killed earlier left behind (which folders go is tst_runtimefolders' part).
    const QString stale = temp.filePath(QStringLiteral("OrvikVPN-runtime-kiLLed"));
    QVERIFY(QDir().mkpath(stale));

    const QList<QUrl>& urls = httpsCheckUrls();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TMPDIR"), temp.path());
    env.insert(QString::fromLatin1(standin::kRecord), records.path());
    env.insert(QString::fromLatin1(standin::kHosts),
               standin::hostMapEntry(urls.at(0).host(), 443, m_server->port()) + u',' +
                   standin::hostMapEntry(urls.at(1).host(), 443, m_server->port()));
    QProcess display;
    const auto endDisplay = qScopeGuard([&display] { display.kill(), display.waitForFinished(); });
    if (signalNumber == 0) {
        // exit() from the display plugin skips every destructor: what Qt holds then is no leak.
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
        display.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                               QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QVERIFY(display.waitForReadyRead(10000));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"),
                   u':' + QString::fromLatin1(display.readAll().trimmed()));
    }
    QProcess client;
    client.setProcessEnvironment(env);
    client.setProcessChannelMode(QProcess::ForwardedChannels);
    client.start(
        QStringLiteral("unshare"),
        {QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"),
         QStringLiteral("mount --bind \"$1\" /etc/ssl/certs && exec \"$2\" --connect-saved"),
         QStringLiteral("sh"), m_certs, m_appDir + QStringLiteral("/OrvikVPN")});
    QVERIFY(client.waitForStarted(5000));
    const auto cleanup = qScopeGuard([&] {
        if (client.state() != QProcess::NotRunning) {
            client.kill();
            client.waitForFinished(5000);
        }
        for (const standin::Start& start : standin::readStarts(records.path()))
            standin::killProcess(start.pid);
    });

    // Connected means proven through the tunnel, and the status file says so.
    QVERIFY2(QTest::qWaitFor(
                 [] { return readStatusFile().value(QLatin1String("connected")).toBool(); }, 30000),
             qPrintable(QJsonDocument(readStatusFile()).toJson()));
    QCOMPARE(readStatusFile().value(QLatin1String("status")).toString(),
             QStringLiteral("Подключено"));
    QVERIFY(m_server->requestCount() >= 1);

    QVERIFY(!QFileInfo::exists(stale));

    // The connection's cores are the ones still running (latency checks end theirs).
    QString runtimeFolder;
    for (const standin::Start& start : standin::readStarts(records.path())) {
        if (!standin::processGone(start.pid))
            runtimeFolder = QFileInfo(start.configPath).absolutePath();
    }
    QVERIFY(QFileInfo(runtimeFolder).isDir());
    if (signalNumber == 0)
        display.kill();
    else
        ::kill(pid_t(client.processId()), signalNumber);
    QVERIFY(client.waitForFinished(10000));
    QCOMPARE(client.exitStatus(), QProcess::NormalExit);
    QCOMPARE(client.exitCode(), exitCode);
    for (const standin::Start& start : standin::readStarts(records.path()))
        QVERIFY(standin::processGone(start.pid));
    QVERIFY(!QFileInfo::exists(runtimeFolder));
    const QJsonObject last = readStatusFile();
    QCOMPARE(last.value(QLatin1String("connected")), QJsonValue(false));
    QCOMPARE(last.value(QLatin1String("connecting")), QJsonValue(false));
}

ORVIK_TEST_MAIN(ClientQuitTest, QCoreApplication)
#include "tst_clientquit.moc"
