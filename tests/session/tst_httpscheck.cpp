// The HTTPS check through the Xray stand-in as a real SOCKS5 proxy to local HTTPS servers
// that play the two check hosts.

#include "session/httpscheck.h"
#include "tests/support/httpstestserver.h"
#include "tests/support/standin.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>

#include <memory>

namespace {

QString checkHost(int index)
{
    return httpsCheckUrls().at(index).host();
}

// Runs one check on `port` to its end: the one `finished` signal's arguments.
QVariantList runCheck(quint16 port)
{
    HttpsCheck check(port);
    QSignalSpy finished(&check, &HttpsCheck::finished);
    check.start();
    finished.wait(15000);
    QTest::qWait(100);
    return finished.size() == 1 ? finished.at(0) : QVariantList{"no single finished signal", ""};
}

} // namespace

class TestHttpsCheck : public QObject
{
    Q_OBJECT

private:
    // Starts both servers and the proxy, which sends both check hosts to them.
    QString startServersAndProxy();

    std::unique_ptr<HttpsTestServer> m_first;
    std::unique_ptr<HttpsTestServer> m_second;
    std::unique_ptr<standin::Relay> m_proxy;

private slots:
    void init()
    {
        m_proxy = std::make_unique<standin::Relay>();
        m_first = std::make_unique<HttpsTestServer>(QStringList{checkHost(0)});
        m_second = std::make_unique<HttpsTestServer>(QStringList{checkHost(1)});
    }
    void outcome_data();
    void outcome();
    void stalledAttempt();
};

QString TestHttpsCheck::startServersAndProxy()
{
    if (!m_first->start() || !m_second->start())
        return m_first->errorText() + m_second->errorText();
    return m_proxy->start(standin::hostMapEntry(checkHost(0), 443, m_first->port()) + ',' +
                          standin::hostMapEntry(checkHost(1), 443, m_second->port()));
}

void TestHttpsCheck::outcome_data()
{
    QTest::addColumn<int>("firstStatus");  // 0: nothing listens on the proxy's port
    QTest::addColumn<int>("secondStatus"); // 0: never asked
    QTest::addColumn<QString>("error");    // a pattern; empty for success
    // clang-format off
    QTest::newRow("204 at once, no retry") << 204 << 0 << "";
    QTest::newRow("200 counts as failure, second URL answers") << 200 << 204 << "";
    QTest::newRow("redirect is not followed") << 302 << 204 << "";
    QTest::newRow("both fail, both lines kept") << 500 << 200 << "^HTTPS через VPN не отвечает\\. HTTP 500: [^;]+; HTTP 200: .+$";
    QTest::newRow("nothing listening fails both attempts") << 0 << 0 << "^HTTPS через VPN не отвечает\\. HTTP 0: [^;]+; HTTP 0: .+$";
    // clang-format on
}

void TestHttpsCheck::outcome()
{
    QFETCH(int, firstStatus);
    QFETCH(int, secondStatus);
    QFETCH(QString, error);

    HttpsTestResponse first{firstStatus, {}, {}};
    if (firstStatus == 302) {
        // Followed, this would reach a path that answers 204 on the same server.
        first.headers = {{"Location", "https://" + checkHost(0).toLatin1() + "/elsewhere"}};
        m_first->setResponse("/elsewhere", {204, {}, {}});
    }
    m_first->setResponse("/generate_204", first);
    m_second->setResponse("/generate_204", {secondStatus, {}, {}});
    if (firstStatus != 0)
        QCOMPARE(startServersAndProxy(), QString());

    const QVariantList result =
        runCheck(firstStatus != 0 ? m_proxy->port() : standin::closedPort());
    const int milliseconds = result.at(0).toInt();
    const QString text = result.at(1).toString();
    QVERIFY2(error.isEmpty()
                 ? milliseconds >= 1 && text.isEmpty()
                 : milliseconds == -1 && QRegularExpression(error).match(text).hasMatch(),
             qPrintable(text));

    QCOMPARE(m_first->requestCount(), firstStatus != 0 ? 1 : 0);
    QCOMPARE(m_second->requestCount(), secondStatus != 0 ? 1 : 0);
    // Every attempt is a fresh GET with a query no cache has seen.
    const QList<HttpsTestRequest> requests = m_first->requests() + m_second->requests();
    for (const HttpsTestRequest& request : requests) {
        QCOMPARE(request.method + ' ' + request.path(), QByteArray("GET /generate_204"));
        QVERIFY2(QRegularExpression("^orvik=[0-9a-f]{32}$").match(request.query()).hasMatch(),
                 request.query());
    }
    if (requests.size() == 2)
        QVERIFY(requests.at(0).query() != requests.at(1).query());
}

// A server that accepts and never answers costs one transfer timeout, then the second URL is
// tried; a check deleted while it waits says nothing and tries nothing more.
void TestHttpsCheck::stalledAttempt()
{
    HttpsTestResponse stall;
    stall.stall = true;
    m_first->setResponse("/generate_204", stall);
    m_second->setResponse("/generate_204", {204, {}, {}});
    QCOMPARE(startServersAndProxy(), QString());

    auto* deleted = new HttpsCheck(m_proxy->port());
    QSignalSpy deletedFinished(deleted, &HttpsCheck::finished);
    QSignalSpy received(m_first.get(), &HttpsTestServer::requestReceived);
    deleted->start();
    QVERIFY(received.wait(10000));
    delete deleted;

    QElapsedTimer clock;
    clock.start();
    QVERIFY(runCheck(m_proxy->port()).at(0).toInt() >= 1);
    // Qt's coarse timers may fire up to 5 % early.
    QVERIFY2(clock.elapsed() >= 5000, qPrintable(QString::number(clock.elapsed())));
    QTest::qWait(200);
    QCOMPARE(deletedFinished.count(), 0);
    QCOMPARE(m_first->requestCount(), 2);
    QCOMPARE(m_second->requestCount(), 1);
}

ORVIK_TEST_MAIN(TestHttpsCheck, QCoreApplication)
#include "tst_httpscheck.moc"
