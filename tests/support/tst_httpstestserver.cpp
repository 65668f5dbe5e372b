// The local HTTPS server that later tests build on: what it answers and what it keeps.

#include "tests/support/httpstestserver.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QSslSocket>
#include <QTest>

class TestHttpsTestServer : public QObject
{
    Q_OBJECT

private slots:
    void answersAsConfigured_data();
    void answersAsConfigured();
    void certificateNamesOnlyTheAskedHosts();
};

void TestHttpsTestServer::answersAsConfigured_data()
{
    QTest::addColumn<HttpsTestResponse>("response");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("requestBody");

    QTest::newRow("large body with a header")
        << HttpsTestResponse{200, {{"X-Test", "yes"}}, QByteArray(3 * 1024 * 1024, 'b')}
        << QByteArray("GET") << QByteArray();
    QTest::newRow("redirect, not followed")
        << HttpsTestResponse{302, {{"Location", "https://localhost/elsewhere"}}, {}}
        << QByteArray("GET") << QByteArray();
    QTest::newRow("late answer") << HttpsTestResponse{204, {}, {}, 400} << QByteArray("GET")
                                 << QByteArray();
    QTest::newRow("POST body kept")
        << HttpsTestResponse{201, {}, "made"} << QByteArray("POST") << QByteArray("{\"a\":1}");
}

void TestHttpsTestServer::answersAsConfigured()
{
    QFETCH(HttpsTestResponse, response);
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, requestBody);

    HttpsTestServer server({QStringLiteral("check.example")});
    server.setResponse("/path", response);
    QVERIFY2(server.start(), qPrintable(server.errorText()));

    QNetworkAccessManager manager;
    QNetworkRequest request(
        QUrl(QStringLiteral("https://localhost:%1/path?x=1").arg(server.port())));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setRawHeader("X-Sent", "by the test");
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QElapsedTimer clock;
    clock.start();
    QNetworkReply* reply = manager.sendCustomRequest(request, method, requestBody);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(10000));

    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), response.status);
    QCOMPARE(reply->readAll(), response.body);
    for (const auto& [name, value] : response.headers)
        QCOMPARE(reply->rawHeader(name), value);
    if (response.delayMs > 0)
        QVERIFY(clock.elapsed() >= response.delayMs - 20);
    delete reply;

    QCOMPARE(server.requestCount(), 1);
    const HttpsTestRequest received = server.requests().at(0);
    QCOMPARE(received.method, method);
    QCOMPARE(received.path(), QByteArray("/path"));
    QCOMPARE(received.query(), QByteArray("x=1"));
    QCOMPARE(received.header("x-sent"), QByteArray("by the test"));
    QCOMPARE(received.body, requestBody);
}

// Trusted here for its names, and only for them.
void TestHttpsTestServer::certificateNamesOnlyTheAskedHosts()
{
    HttpsTestServer server({QStringLiteral("check.example")});
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    for (const auto& [name, trusted] :
         {std::pair{"check.example", true}, std::pair{"other.example", false}}) {
        QSslSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.1"), server.port());
        QVERIFY(socket.waitForConnected(5000));
        // The name the certificate is checked against, while the connection goes to 127.0.0.1.
        socket.setPeerVerifyName(QString::fromLatin1(name));
        socket.startClientEncryption();
        QSignalSpy encrypted(&socket, &QSslSocket::encrypted);
        QSignalSpy errors(&socket, &QSslSocket::sslErrors);
        QVERIFY(QTest::qWaitFor([&] { return encrypted.count() + errors.count() > 0; }, 5000));
        QCOMPARE(encrypted.count() == 1, trusted);
    }
}

ORVIK_TEST_MAIN(TestHttpsTestServer, QCoreApplication)
#include "tst_httpstestserver.moc"
