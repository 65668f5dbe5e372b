// The installer token exchanged for the subscription link at start-up, through the real
// controller. The client addresses its built-in API host names unchanged: this test process
// reaches them through a SOCKS5 relay (the Xray stand-in) that sends each name to a local
// HTTPS server whose certificate carries that name.

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
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QSettings>
#include <QTest>

#include <memory>

namespace {

const QString kToken = "0123456789abcdef0123456789abcdef0123456789abcdef";
const QByteArray kRedeemPath = "/account/client/redeem/";
const QByteArray kBody = "hy2://pw1@a.example.net:443?sni=a.example.net#A\n"
                         "hy2://pw2@b.example.net:443?sni=b.example.net#B\n";
const QString kAdding = "Добавление подписки...";
const QString kFallback = "Проверка запасного адреса...";
const QString kReady = "Готово";
const QString kFailed = "Ошибка привязки подписки";

QString primaryHost()
{
    return redeem::apiHosts().at(0);
}

QString fallbackHost()
{
    return redeem::apiHosts().at(1);
}

HttpsTestResponse linkAnswer(const QString& link, int status = 200, const QString& pad = {})
{
    const QJsonObject reply{{"subscription_url", link}, {"pad", pad}};
    return {status, {{"Content-Type", "application/json"}}, QJsonDocument(reply).toJson()};
}

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
    void init();
    void cleanup();
    void tokenAtStartup_data();
    void tokenAtStartup();

private:
    std::unique_ptr<HttpsTestServer> m_primary;
    std::unique_ptr<HttpsTestServer> m_fallback;
    std::unique_ptr<standin::Relay> m_relay;
};

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
    m_relay = std::make_unique<standin::Relay>();
}

void RedeemTest::cleanup()
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    m_relay.reset();
}

void RedeemTest::tokenAtStartup_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<HttpsTestResponse>("primaryAnswer");
    QTest::addColumn<HttpsTestResponse>("fallbackAnswer");
    QTest::addColumn<QStringList>("statuses");
    QTest::addColumn<QString>("storedLink");
    QTest::addColumn<int>("primaryPosts");
    QTest::addColumn<int>("fallbackPosts");

    const QString onPrimary = QString("https://%1/s/4d1c9e").arg(primaryHost());
    const QString onFallback = QString("https://%1/s/77ab02").arg(fallbackHost());
    const HttpsTestResponse unused{500, {}, {}};
    // clang-format off
    QTest::newRow("primary gives its own link") << "" << linkAnswer(onPrimary) << unused << QStringList{kAdding, kReady} << onPrimary << 1 << 0;
    QTest::newRow("primary's answer over 64 KiB: refused, fallback asked") << "" << linkAnswer(onPrimary, 200, QString(65536, 'x')) << linkAnswer(onFallback) << QStringList{kAdding, kFallback, kReady} << onFallback << 1 << 1;
    QTest::newRow("primary unreachable: fallback asked") << "primary unreachable" << unused << linkAnswer(onFallback) << QStringList{kAdding, kFallback, kReady} << onFallback << 0 << 1;
    QTest::newRow("primary errs with a good link in the body") << "" << linkAnswer(onPrimary, 503) << linkAnswer(onFallback) << QStringList{kAdding, kFallback, kReady} << onFallback << 1 << 1;
    QTest::newRow("both fail: redirect, then a path outside /s/") << "" << HttpsTestResponse{302, {{"Location", onPrimary.toLatin1()}}, {}} << linkAnswer(QString(onFallback).replace("/s/", "/S/")) << QStringList{kAdding, kFallback, kFailed} << "" << 1 << 1;
    QTest::newRow("link already stored: token erased unsent") << "link stored" << linkAnswer(onPrimary) << linkAnswer(onPrimary) << QStringList{kReady} << onPrimary << 0 << 0;
    QTest::newRow("not a token: erased unsent") << "bad token" << linkAnswer(onPrimary) << linkAnswer(onPrimary) << QStringList{} << "" << 0 << 0;
    // clang-format on
}

void RedeemTest::tokenAtStartup()
{
    QFETCH(QString, setup);
    QFETCH(HttpsTestResponse, primaryAnswer);
    QFETCH(HttpsTestResponse, fallbackAnswer);
    QFETCH(QStringList, statuses);
    QFETCH(QString, storedLink);
    QFETCH(int, primaryPosts);
    QFETCH(int, fallbackPosts);

    m_primary->setResponse(kRedeemPath, primaryAnswer);
    m_fallback->setResponse(kRedeemPath, fallbackAnswer);
    m_primary->setResponse("/s/4d1c9e", {200, {}, kBody});
    m_fallback->setResponse("/s/77ab02", {200, {}, kBody});
    // Each API host name's port 443 goes to its server, or to a closed port.
    const quint16 primaryPort =
        setup == "primary unreachable" ? standin::closedPort() : m_primary->port();
    const QString error =
        m_relay->start(standin::hostMapEntry(primaryHost(), 443, primaryPort) + ',' +
                       standin::hostMapEntry(fallbackHost(), 443, m_fallback->port()));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::Socks5Proxy, "127.0.0.1", m_relay->port()));
    QSettings(settings::bootstrapStoreLocation(), QSettings::NativeFormat)
        .setValue(settingskeys::bootstrapToken, setup == "bad token" ? kToken.toUpper() : kToken);
    if (setup == "link stored")
        QVERIFY(settings::writeSecrets({{settingskeys::subscription, storedLink.toUtf8()}}));
    QGuiApplication::clipboard()->clear();

    Controller controller;
    QStringList seen;
    connect(&controller, &Controller::statusChanged, this,
            [&] { seen.append(controller.status()); });
    QVERIFY(QTest::qWaitFor([&] { return seen.size() == statuses.size(); }, 20000));
    QVERIFY(QTest::qWaitFor([&] { return !controller.isSubscriptionLoading(); }, 20000));
    QTest::qWait(300);
    QCOMPARE(seen, statuses);

    // The token left the machine once per host asked, as the bare body, and is kept only
    // while the redeem failed.
    const bool failed = statuses.contains(kFailed);
    QCOMPARE(settings::readBootstrapToken(), failed ? kToken : QString());
    const QList<HttpsTestRequest> primary = requestsFor(*m_primary, "POST");
    const QList<HttpsTestRequest> fallback = requestsFor(*m_fallback, "POST");
    QCOMPARE(primary.size(), primaryPosts);
    QCOMPARE(fallback.size(), fallbackPosts);
    for (const auto& [posts, host] :
         {std::pair(primary, primaryHost()), std::pair(fallback, fallbackHost())}) {
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
    QCOMPARE(controller.servers().size(), storedLink.isEmpty() ? 0 : 2);
    QCOMPARE(controller.hasError(), failed);
    const QList<HttpsTestRequest> gets =
        requestsFor(*m_primary, "GET") + requestsFor(*m_fallback, "GET");
    if (storedLink.isEmpty()) {
        QCOMPARE(gets.size(), 0);
        controller.copyLastError();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QString(failed
                             ? "Скачайте установщик заново или импортируйте подписку из кабинета."
                             : ""));
    } else {
        QCOMPARE(settings::readSecret(settingskeys::subscriptionCache), kBody);
        QCOMPARE(gets.size(), 1);
        QCOMPARE(gets.at(0).header("Host") + gets.at(0).path(),
                 QUrl(storedLink).host().toLatin1() + QUrl(storedLink).path().toLatin1());
    }
}

ORVIK_TEST_MAIN(RedeemTest, QApplication)
#include "tst_redeem.moc"
