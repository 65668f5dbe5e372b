// The installer token exchanged for the subscription link at start-up, through the real
// controller. The client addresses its built-in API host names unchanged: this test process
// reaches them through a SOCKS5 relay (a stand-in core) that sends each name to a local HTTPS
// server whose certificate carries that name, signed by the test CA trusted by this process.

#include "config/cores.h"
#include "controller/controller.h"
#include "controller/settings.h"
#include "controller/settingskeys.h"
#include "profiles/redeem.h"
#include "tests/support/httpstestserver.h"
#include "tests/support/standin.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QProcess>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString kToken = QStringLiteral("0123456789abcdef0123456789abcdef0123456789abcdef");
const QByteArray kRedeemPath = "/account/client/redeem/";
const QByteArray kBody = "hy2://pw1@a.example.net:443?sni=a.example.net#A\n"
                         "hy2://pw2@b.example.net:443?sni=b.example.net#B\n";
const QString kAdding = QStringLiteral("Добавление подписки...");
const QString kFallback = QStringLiteral("Проверка запасного адреса...");
const QString kReady = QStringLiteral("Готово");
const QString kFailed = QStringLiteral("Ошибка привязки подписки");
const QString kFailedDetail =
    QStringLiteral("Скачайте установщик заново или импортируйте подписку из кабинета.");

QString primaryHost()
{
    return redeem::apiHosts().at(0);
}

QString fallbackHost()
{
    return redeem::apiHosts().at(1);
}

HttpsTestResponse linkAnswer(const QString& link)
{
    const QJsonObject reply{{QStringLiteral("subscription_url"), link}};
    return {200, {{"Content-Type", "application/json"}}, QJsonDocument(reply).toJson()};
}

quint16 closedPort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

// The Xray stand-in as a plain SOCKS5 relay on 127.0.0.1, sending named targets where the
// host map says.
class SocksRelay
{
public:
    ~SocksRelay()
    {
        m_process.kill();
        m_process.waitForFinished(2000);
    }

    QString start(const QString& hostMap)
    {
        m_port = closedPort();
        const QString config = m_folder.filePath(QStringLiteral("xray.json"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return QStringLiteral("cannot write the relay's document");
        const QJsonObject inbound{{QStringLiteral("tag"), QStringLiteral("local-socks")},
                                  {QStringLiteral("protocol"), QStringLiteral("socks")},
                                  {QStringLiteral("port"), int(m_port)}};
        file.write(
            QJsonDocument(QJsonObject{{QStringLiteral("inbounds"), QJsonArray{inbound}}}).toJson());
        file.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(standin::kHosts), hostMap);
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(corePath(QCoreApplication::applicationDirPath(), Core::Xray),
                        coreArguments(config));
        QByteArray output;
        while (!output.contains("listening on")) {
            if (!m_process.waitForReadyRead(5000))
                return QStringLiteral("the relay did not start: ") + QString::fromLocal8Bit(output);
            output += m_process.readAll();
        }
        return {};
    }

    quint16 port() const { return m_port; }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
};

QList<HttpsTestRequest> requestsFor(const HttpsTestServer& server, const QByteArray& method)
{
    QList<HttpsTestRequest> found;
    for (const HttpsTestRequest& request : server.requests()) {
        if (request.method == method)
            found.append(request);
    }
    return found;
}

} // namespace

class RedeemTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void tokenIsRedeemedAtStartup_data();
    void tokenIsRedeemedAtStartup();
    void tokenIsErasedWithoutBeingSent_data();
    void tokenIsErasedWithoutBeingSent();

private:
    // Routes the two API host names (port 443) to the two servers, or to a closed port.
    void startRelay(bool primaryReachable);
    void putToken(const QString& token)
    {
        QSettings bootstrap(settings::bootstrapStoreLocation(), QSettings::NativeFormat);
        bootstrap.setValue(settingskeys::bootstrapToken, token);
    }

    std::unique_ptr<HttpsTestServer> m_primary;
    std::unique_ptr<HttpsTestServer> m_fallback;
    std::unique_ptr<SocksRelay> m_relay;
};

void RedeemTest::initTestCase()
{
    QCOMPARE(redeem::apiHosts().size(), 2);
    QVERIFY(primaryHost() != fallbackHost());
}

void RedeemTest::init()
{
    QSettings().clear();
    QSettings().sync();
    QFile::remove(settings::bootstrapStoreLocation());
    // Fresh servers for each case, so the requests each kept are this case's alone.
    m_primary = std::make_unique<HttpsTestServer>(QStringList{primaryHost()});
    m_fallback = std::make_unique<HttpsTestServer>(QStringList{fallbackHost()});
    QVERIFY2(m_primary->start(), qPrintable(m_primary->errorText()));
    QVERIFY2(m_fallback->start(), qPrintable(m_fallback->errorText()));
}

void RedeemTest::cleanup()
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    m_relay.reset();
    m_primary.reset();
    m_fallback.reset();
}

void RedeemTest::cleanupTestCase()
{
    cleanup();
}

void RedeemTest::startRelay(bool primaryReachable)
{
    m_relay = std::make_unique<SocksRelay>();
    const QString error =
        m_relay->start(standin::hostMapEntry(primaryHost(), 443,
                                             primaryReachable ? m_primary->port() : closedPort()) +
                       u',' + standin::hostMapEntry(fallbackHost(), 443, m_fallback->port()));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::Socks5Proxy, QStringLiteral("127.0.0.1"), m_relay->port()));
}

void RedeemTest::tokenIsRedeemedAtStartup_data()
{
    // clang-format off
    QTest::addColumn<bool>("primaryReachable");
    QTest::addColumn<HttpsTestResponse>("primaryAnswer");
    QTest::addColumn<HttpsTestResponse>("fallbackAnswer");
    QTest::addColumn<QStringList>("statuses");
    QTest::addColumn<QString>("storedLink");
    QTest::addColumn<int>("expectedFallbackPosts");

    const QString onPrimary = QStringLiteral("https://%1/s/4d1c9e").arg(primaryHost());
    const QString onFallback = QStringLiteral("https://%1/s/77ab02").arg(fallbackHost());
    const HttpsTestResponse unused{500, {}, {}};

    QTest::newRow("primary gives its own link") << true << linkAnswer(onPrimary) << unused << QStringList{kAdding, kReady} << onPrimary << 0;
    QTest::newRow("primary's link on the fallback host: refused, fallback asked") << true << linkAnswer(onFallback) << linkAnswer(onFallback) << QStringList{kAdding, kFallback, kReady} << onFallback << 1;
    QTest::newRow("primary's answer over 64 KiB: refused, fallback asked") << true << HttpsTestResponse{200, {}, QJsonDocument(QJsonObject{{"subscription_url", onPrimary}, {"pad", QString(65536, u'x')}}) .toJson()} << linkAnswer(onFallback) << QStringList{kAdding, kFallback, kReady} << onFallback << 1;
    QTest::newRow("primary unreachable: fallback asked") << false << unused << linkAnswer(onFallback) << QStringList{kAdding, kFallback, kReady} << onFallback << 1;
    QTest::newRow("primary errs with a good link in the body") << true << HttpsTestResponse{503, {}, QJsonDocument(QJsonObject{{"subscription_url", onPrimary}}).toJson()} << linkAnswer(onFallback) << QStringList{kAdding, kFallback, kReady} << onFallback << 1;
    QTest::newRow("both fail: redirect, then a path outside /s/") << true << HttpsTestResponse{302, {{"Location", onPrimary.toLatin1()}}, {}} << linkAnswer(QStringLiteral("https://%1/S/77ab02").arg(fallbackHost())) << QStringList{kAdding, kFallback, kFailed} << QString() << 1;
    QTest::newRow("both fail: unreachable, then plain http") << false << unused << linkAnswer(QStringLiteral("http://%1/s/77ab02").arg(fallbackHost())) << QStringList{kAdding, kFallback, kFailed} << QString() << 1;
    // clang-format on
}

void RedeemTest::tokenIsRedeemedAtStartup()
{
    QFETCH(bool, primaryReachable);
    QFETCH(HttpsTestResponse, primaryAnswer);
    QFETCH(HttpsTestResponse, fallbackAnswer);
    QFETCH(QStringList, statuses);
    QFETCH(QString, storedLink);
    QFETCH(int, expectedFallbackPosts);

    m_primary->setResponse(kRedeemPath, primaryAnswer);
    m_fallback->setResponse(kRedeemPath, fallbackAnswer);
    m_primary->setResponse("/s/4d1c9e", {200, {}, kBody});
    m_fallback->setResponse("/s/77ab02", {200, {}, kBody});
    startRelay(primaryReachable);
    putToken(kToken);
    QGuiApplication::clipboard()->clear();

    Controller controller;
    QStringList seen;
    connect(&controller, &Controller::statusChanged, this,
            [&] { seen.append(controller.status()); });
    QVERIFY(QTest::qWaitFor([&] { return seen.size() == statuses.size(); }, 20000));
    QVERIFY(QTest::qWaitFor([&] { return !controller.isSubscriptionLoading(); }, 20000));
    QTest::qWait(100);
    QCOMPARE(seen, statuses);

    // The token left the machine exactly once per host asked, as the bare body, and is kept
    // until a link is stored.
    QCOMPARE(settings::readBootstrapToken(), storedLink.isEmpty() ? kToken : QString());
    const QList<HttpsTestRequest> primaryPosts = requestsFor(*m_primary, "POST");
    const QList<HttpsTestRequest> fallbackPosts = requestsFor(*m_fallback, "POST");
    QCOMPARE(primaryPosts.size(), primaryReachable ? 1 : 0);
    QCOMPARE(fallbackPosts.size(), expectedFallbackPosts);
    for (const auto& [posts, host] :
         {qMakePair(primaryPosts, primaryHost()), qMakePair(fallbackPosts, fallbackHost())}) {
        for (const HttpsTestRequest& post : posts) {
            QCOMPARE(post.target, kRedeemPath);
            QCOMPARE(post.header("Host"), host.toLatin1());
            QCOMPARE(post.header("Content-Type"), QByteArray("application/octet-stream"));
            QCOMPARE(post.body, kToken.toLatin1());
            QCOMPARE(post.header("X-Orvik-Client-Version"), QByteArray());
            QVERIFY(post.header("User-Agent") != "Happ/3.3.6/Windows/2607171516600");
        }
    }

    QCOMPARE(QString::fromUtf8(settings::readSecret(settingskeys::subscription)), storedLink);
    if (storedLink.isEmpty()) {
        QVERIFY(controller.hasError());
        QVERIFY(controller.servers().isEmpty());
        // Nothing but the two redeem attempts went out.
        QCOMPARE(requestsFor(*m_primary, "GET").size() + requestsFor(*m_fallback, "GET").size(), 0);
        controller.copyLastError();
        QCOMPARE(QGuiApplication::clipboard()->text(), kFailedDetail);
    } else {
        QVERIFY(!controller.hasError());
        QCOMPARE(controller.servers().size(), 2);
        QCOMPARE(settings::readSecret(settingskeys::subscriptionCache), kBody);
        const HttpsTestServer& owner =
            storedLink == QStringLiteral("https://%1/s/4d1c9e").arg(primaryHost()) ? *m_primary
                                                                                   : *m_fallback;
        QCOMPARE(requestsFor(owner, "GET").size(), 1);
        QCOMPARE(requestsFor(owner, "GET").constFirst().path(), QUrl(storedLink).path().toLatin1());
    }
}

void RedeemTest::tokenIsErasedWithoutBeingSent_data()
{
    // clang-format off
    QTest::addColumn<QString>("token");
    QTest::addColumn<bool>("linkStored");

    QTest::newRow("valid token, link stored") << kToken << true;
    QTest::newRow("upper-case token") << kToken.toUpper() << false;
    // clang-format on
}

void RedeemTest::tokenIsErasedWithoutBeingSent()
{
    QFETCH(QString, token);
    QFETCH(bool, linkStored);

    const QString link = QStringLiteral("https://%1/s/4d1c9e").arg(primaryHost());
    m_primary->setResponse(kRedeemPath, linkAnswer(link));
    m_fallback->setResponse(kRedeemPath, linkAnswer(link));
    m_primary->setResponse("/s/4d1c9e", {200, {}, kBody});
    startRelay(true);
    putToken(token);
    if (linkStored)
        QVERIFY(settings::writeSecrets({{settingskeys::subscription, link.toUtf8()}}));

    Controller controller;
    QCoreApplication::processEvents();
    QCOMPARE(controller.isSubscriptionLoading(), linkStored);
    QVERIFY(QTest::qWaitFor([&] { return !controller.isSubscriptionLoading(); }, 20000));
    QTest::qWait(300);

    QFile bootstrap(settings::bootstrapStoreLocation());
    QVERIFY(bootstrap.open(QIODevice::ReadOnly));
    QVERIFY(!bootstrap.readAll().contains(kToken.left(40).toLatin1()));
    QCOMPARE(requestsFor(*m_primary, "POST").size(), 0);
    QCOMPARE(m_fallback->requestCount(), 0);
    QCOMPARE(requestsFor(*m_primary, "GET").size(), linkStored ? 1 : 0);
    QCOMPARE(controller.status(), linkStored ? kReady : QStringLiteral("Отключено"));
    QCOMPARE(controller.servers().size(), linkStored ? 2 : 0);
}

ORVIK_TEST_MAIN(RedeemTest, QApplication)
#include "tst_redeem.moc"
