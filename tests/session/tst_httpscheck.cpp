// The HTTPS check through a real SOCKS5 proxy (the Xray stand-in) to local HTTPS servers
// that play the two check hosts.

#include "config/cores.h"
#include "session/httpscheck.h"
#include "tests/support/httpstestserver.h"
#include "tests/support/standin.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

quint16 unusedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

QString checkHost(int index)
{
    return httpsCheckUrls().at(index).host();
}

} // namespace

class TestHttpsCheck : public QObject
{
    Q_OBJECT

private:
    // Two servers for the two check hosts and the Xray stand-in as the SOCKS5 proxy,
    // which sends both hosts to them.
    bool startServersAndProxy();

    std::unique_ptr<HttpsTestServer> m_first;
    std::unique_ptr<HttpsTestServer> m_second;
    std::unique_ptr<QTemporaryDir> m_scratch;
    std::unique_ptr<QProcess> m_proxy;
    quint16 m_proxyPort = 0;

private slots:
    void init();
    void cleanup();
    void outcome_data();
    void outcome();
    void nothingListeningFailsBothAttempts();
    void stalledAttempt();
};

void TestHttpsCheck::init()
{
    m_scratch = std::make_unique<QTemporaryDir>();
    m_first = std::make_unique<HttpsTestServer>(QStringList{checkHost(0)});
    m_second = std::make_unique<HttpsTestServer>(QStringList{checkHost(1)});
}

void TestHttpsCheck::cleanup()
{
    if (m_proxy) {
        m_proxy->kill();
        m_proxy->waitForFinished();
    }
    m_proxy.reset();
    m_first.reset();
    m_second.reset();
    m_scratch.reset();
}

bool TestHttpsCheck::startServersAndProxy()
{
    if (!m_first->start() || !m_second->start()) {
        qWarning() << m_first->errorText() << m_second->errorText();
        return false;
    }
    m_proxyPort = unusedPort();
    const QJsonObject inbound{{"tag", "local-socks"},
                              {"listen", "127.0.0.1"},
                              {"port", m_proxyPort},
                              {"protocol", "socks"}};
    const QJsonObject document{{"inbounds", QJsonArray{inbound}}};
    const QString configPath = m_scratch->filePath(QStringLiteral("xray.json"));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly))
        return false;
    config.write(QJsonDocument(document).toJson());
    config.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(standin::kRecord), m_scratch->path());
    environment.insert(QString::fromLatin1(standin::kHosts),
                       standin::hostMapEntry(checkHost(0), 443, m_first->port()) +
                           QLatin1Char(',') +
                           standin::hostMapEntry(checkHost(1), 443, m_second->port()));
    m_proxy = std::make_unique<QProcess>();
    m_proxy->setProcessEnvironment(environment);
    m_proxy->setProcessChannelMode(QProcess::MergedChannels);
    m_proxy->start(corePath(QCoreApplication::applicationDirPath(), Core::Xray),
                   {QStringLiteral("run"), QStringLiteral("-c"), configPath});
    return QTest::qWaitFor(
        [this] {
            m_proxy->waitForReadyRead(50);
            return m_proxy->peek(4096).contains("listening");
        },
        10000);
}

void TestHttpsCheck::outcome_data()
{
    QTest::addColumn<int>("firstStatus");
    QTest::addColumn<int>("secondStatus");
    QTest::addColumn<bool>("success");
    QTest::addColumn<int>("secondRequests");
    QTest::addColumn<QString>("errorPattern");

    QTest::newRow("204 at once, no retry") << 204 << 204 << true << 0 << QString();
    QTest::newRow("200 counts as failure, second URL answers")
        << 200 << 204 << true << 1 << QString();
    QTest::newRow("redirect is not followed") << 302 << 204 << true << 1 << QString();
    QTest::newRow("both fail, both lines kept")
        << 500 << 200 << false << 1
        << QStringLiteral("^HTTPS через VPN не отвечает\\. HTTP 500: [^;]+; HTTP 200: .+$");
}

void TestHttpsCheck::outcome()
{
    QFETCH(int, firstStatus);
    QFETCH(int, secondStatus);
    QFETCH(bool, success);
    QFETCH(int, secondRequests);
    QFETCH(QString, errorPattern);

    HttpsTestResponse first{firstStatus, {}, {}};
    if (firstStatus == 302) {
        // Followed, this would reach a path that answers 204 on the same server.
        first.headers = {{"Location", "https://" + checkHost(0).toLatin1() + "/elsewhere"}};
        m_first->setResponse("/elsewhere", HttpsTestResponse{204, {}, {}});
    }
    m_first->setResponse("/generate_204", first);
    m_second->setResponse("/generate_204", HttpsTestResponse{secondStatus, {}, {}});
    QVERIFY(startServersAndProxy());

    HttpsCheck check(m_proxyPort);
    QSignalSpy finished(&check, &HttpsCheck::finished);
    check.start();
    QVERIFY(finished.wait(15000));
    QTest::qWait(100);
    QCOMPARE(finished.count(), 1);
    const int milliseconds = finished.at(0).at(0).toInt();
    const QString error = finished.at(0).at(1).toString();
    if (success) {
        QVERIFY(milliseconds >= 1);
        QCOMPARE(error, QString());
    } else {
        QCOMPARE(milliseconds, -1);
        QVERIFY2(QRegularExpression(errorPattern).match(error).hasMatch(), qPrintable(error));
    }

    QCOMPARE(m_first->requestCount(), 1);
    QCOMPARE(m_second->requestCount(), secondRequests);
    QList<HttpsTestRequest> requests = m_first->requests() + m_second->requests();
    const QRegularExpression query(QStringLiteral("^orvik=[0-9a-f]{32}$"));
    for (const HttpsTestRequest& request : requests) {
        QCOMPARE(request.method, QByteArray("GET"));
        QCOMPARE(request.path(), QByteArray("/generate_204"));
        QVERIFY2(query.match(QString::fromLatin1(request.query())).hasMatch(), request.query());
    }
    if (requests.size() == 2)
        QVERIFY(requests.at(0).query() != requests.at(1).query());

    // The proxy was handed the host name, not an address resolved here.
    const QStringList connects = standin::readConnects(m_scratch->path());
    QVERIFY2(connects.contains(QStringLiteral("xray\tdomain\t%1\t443").arg(checkHost(0))),
             qPrintable(connects.join(QLatin1Char('|'))));
}

void TestHttpsCheck::nothingListeningFailsBothAttempts()
{
    HttpsCheck check(unusedPort());
    QSignalSpy finished(&check, &HttpsCheck::finished);
    check.start();
    QVERIFY(finished.wait(15000));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), -1);
    const QString error = finished.at(0).at(1).toString();
    QVERIFY2(QRegularExpression(
                 QStringLiteral("^HTTPS через VPN не отвечает\\. HTTP 0: [^;]+; HTTP 0: .+$"))
                 .match(error)
                 .hasMatch(),
             qPrintable(error));
}

// A server that accepts and never answers costs one transfer timeout, then the second URL is
// tried; a check deleted while it waits says nothing and tries nothing more.
void TestHttpsCheck::stalledAttempt()
{
    HttpsTestResponse stall;
    stall.stall = true;
    m_first->setResponse("/generate_204", stall);
    m_second->setResponse("/generate_204", HttpsTestResponse{204, {}, {}});
    QVERIFY(startServersAndProxy());

    auto* deleted = new HttpsCheck(m_proxyPort);
    QSignalSpy deletedFinished(deleted, &HttpsCheck::finished);
    QSignalSpy received(m_first.get(), &HttpsTestServer::requestReceived);
    deleted->start();
    QVERIFY(received.wait(10000));
    delete deleted;

    HttpsCheck check(m_proxyPort);
    QSignalSpy finished(&check, &HttpsCheck::finished);
    QElapsedTimer clock;
    clock.start();
    check.start();
    QVERIFY(finished.wait(15000));
    // Qt's coarse timers may fire up to 5 % early.
    QVERIFY2(clock.elapsed() >= 5000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(finished.at(0).at(0).toInt() >= 1);
    QTest::qWait(300);
    QCOMPARE(deletedFinished.count(), 0);
    QCOMPARE(m_first->requestCount(), 2);
    QCOMPARE(m_second->requestCount(), 1);
}

ORVIK_TEST_MAIN(TestHttpsCheck, QCoreApplication)
#include "tst_httpscheck.moc"
