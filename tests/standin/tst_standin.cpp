// The stand-in cores themselves: the other tests rely on what they accept, refuse and relay.

#include "config/cores.h"
#include "tests/support/standin.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
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

QJsonObject singBoxDocument(quint16 port, const QJsonObject& vpnOut)
{
    return {{"inbounds", QJsonArray{QJsonObject{{"type", "socks"},
                                                {"tag", "check-in"},
                                                {"listen", "127.0.0.1"},
                                                {"listen_port", port}}}},
            {"outbounds", QJsonArray{vpnOut}}};
}

QJsonObject xrayDocument(quint16 port)
{
    return {{"inbounds", QJsonArray{QJsonObject{{"tag", "local-socks"},
                                                {"listen", "127.0.0.1"},
                                                {"port", port},
                                                {"protocol", "socks"}}}}};
}

// Echoes every byte back.
class EchoServer : public QTcpServer
{
public:
    EchoServer()
    {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket,
                        [socket] { socket->write(socket->readAll()); });
        });
    }
};

QByteArray connectRequest(const QByteArray& host, quint16 port)
{
    QByteArray request("\x05\x01\x00\x03", 4);
    request += char(host.size()) + host;
    request += char(port >> 8);
    request += char(port & 0xff);
    return request;
}

} // namespace

class TestStandin : public QObject
{
    Q_OBJECT

private:
    // Starts a stand-in core with the document; waits until it listens unless it is
    // expected to end.
    QProcess* startCore(Core core, const QJsonObject& document, bool expectListening = true);
    // Sends bytes and waits (with the event loop running) for at least `expected` bytes.
    static QByteArray exchange(QTcpSocket& socket, const QByteArray& bytes, int expected);

    std::unique_ptr<QTemporaryDir> m_scratch;
    QList<QProcess*> m_cores;

private slots:
    void init();
    void cleanup();
    void refusesDocumentOfTheOtherCore_data();
    void refusesDocumentOfTheOtherCore();
    void socksRequests_data();
    void socksRequests();
    void singBoxRelaysThroughXrayWithTheHostName();
};

void TestStandin::init()
{
    m_scratch = std::make_unique<QTemporaryDir>();
    standin::clearEnvironment();
    qputenv(standin::kRecord, m_scratch->path().toLocal8Bit());
}

void TestStandin::cleanup()
{
    for (QProcess* core : std::as_const(m_cores)) {
        core->kill();
        core->waitForFinished();
        delete core;
    }
    m_cores.clear();
    standin::clearEnvironment();
}

QProcess* TestStandin::startCore(Core core, const QJsonObject& document, bool expectListening)
{
    const QString path = m_scratch->filePath(QStringLiteral("doc-%1.json").arg(m_cores.size()));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(QJsonDocument(document).toJson());
    file.close();
    auto* process = new QProcess;
    m_cores.append(process);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(corePath(QCoreApplication::applicationDirPath(), core), {"run", "-c", path});
    if (expectListening) {
        const bool listening = QTest::qWaitFor(
            [process] {
                process->waitForReadyRead(20);
                return process->peek(4096).contains("listening");
            },
            10000);
        if (!listening)
            qWarning() << "stand-in not listening:" << process->peek(4096);
    }
    return process;
}

QByteArray TestStandin::exchange(QTcpSocket& socket, const QByteArray& bytes, int expected)
{
    socket.write(bytes);
    // A short answer shows up in the caller's comparison.
    (void)QTest::qWaitFor([&socket, expected] { return socket.bytesAvailable() >= expected; },
                          5000);
    return socket.readAll();
}

void TestStandin::refusesDocumentOfTheOtherCore_data()
{
    QTest::addColumn<int>("core");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("sing-box given an Xray document")
        << int(Core::SingBox) << QByteArray("no \"check-in\" socks inbound");
    QTest::newRow("Xray given a sing-box document")
        << int(Core::Xray) << QByteArray("no \"local-socks\" socks inbound");
}

void TestStandin::refusesDocumentOfTheOtherCore()
{
    QFETCH(int, core);
    QFETCH(QByteArray, message);
    const quint16 port = unusedPort();
    const QJsonObject document =
        Core(core) == Core::SingBox
            ? xrayDocument(port)
            : singBoxDocument(port, QJsonObject{{"type", "hysteria2"}, {"tag", "vpn-out"}});
    QProcess* process = startCore(Core(core), document, false);
    QVERIFY(process->waitForFinished(10000));
    QCOMPARE(process->exitCode(), 1);
    const QByteArray output = process->readAll();
    QVERIFY2(output.contains(message), output.constData());
}

void TestStandin::socksRequests_data()
{
    QTest::addColumn<QByteArray>("greeting");
    QTest::addColumn<QByteArray>("request"); // "echo" stands for the echo server's port
    QTest::addColumn<QByteArray>("reply");   // the first two bytes of the answer to the request

    const QByteArray noAuth("\x05\x01\x00", 3);
    QByteArray ipv4("\x05\x01\x00\x01\x7f\x00\x00\x01", 8);
    QTest::newRow("IPv4 CONNECT is relayed")
        << noAuth << ipv4 + "echo" << QByteArray("\x05\x00", 2);
    QTest::newRow("domain CONNECT follows the host map")
        << noAuth << connectRequest("echo.test", 7) << QByteArray("\x05\x00", 2);
    QTest::newRow("unmapped name that does not resolve")
        << noAuth << connectRequest("orvik-no-such-host.invalid", 7) << QByteArray("\x05\x04", 2);
    QTest::newRow("UDP ASSOCIATE is refused")
        << noAuth << QByteArray("\x05\x03\x00\x01\x7f\x00\x00\x01\x00\x07", 10)
        << QByteArray("\x05\x07", 2);
    QTest::newRow("IPv6 address is refused")
        << noAuth
        << QByteArray("\x05\x01\x00\x04", 4) + QByteArray(16, '\0') + QByteArray("\x00\x07", 2)
        << QByteArray("\x05\x08", 2);
    QTest::newRow("password authentication only")
        << QByteArray("\x05\x01\x02", 3) << QByteArray() << QByteArray();
}

void TestStandin::socksRequests()
{
    QFETCH(QByteArray, greeting);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);

    EchoServer echo;
    qputenv(standin::kHosts, standin::hostMapEntry("echo.test", 7, echo.serverPort()).toLatin1());
    const quint16 port = unusedPort();
    startCore(Core::Xray, xrayDocument(port));

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(QTest::qWaitFor([&client] { return client.state() == QAbstractSocket::ConnectedState; },
                            5000));
    const QByteArray chosen = exchange(client, greeting, 2);
    if (request.isEmpty()) {
        QCOMPARE(chosen, QByteArray("\x05\xff", 2));
        return;
    }
    QCOMPARE(chosen, QByteArray("\x05\x00", 2));
    if (request.endsWith("echo")) {
        request.chop(4);
        request += char(echo.serverPort() >> 8);
        request += char(echo.serverPort() & 0xff);
    }
    const QByteArray answer = exchange(client, request, 10);
    QCOMPARE(answer.left(2), reply);
    if (reply.at(1) == 0)
        QCOMPARE(exchange(client, "ping through the stand-in", 25),
                 QByteArray("ping through the stand-in"));
}

void TestStandin::singBoxRelaysThroughXrayWithTheHostName()
{
    EchoServer echo;
    qputenv(standin::kHosts, standin::hostMapEntry("echo.test", 7, echo.serverPort()).toLatin1());
    const quint16 xrayPort = unusedPort();
    const quint16 singBoxPort = unusedPort();
    startCore(Core::Xray, xrayDocument(xrayPort));
    startCore(Core::SingBox, singBoxDocument(singBoxPort, QJsonObject{{"type", "socks"},
                                                                      {"tag", "vpn-out"},
                                                                      {"server", "127.0.0.1"},
                                                                      {"server_port", xrayPort}}));

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, singBoxPort);
    QVERIFY(QTest::qWaitFor([&client] { return client.state() == QAbstractSocket::ConnectedState; },
                            5000));
    QCOMPARE(exchange(client, QByteArray("\x05\x01\x00", 3), 2), QByteArray("\x05\x00", 2));
    QCOMPARE(exchange(client, connectRequest("echo.test", 7), 10).left(2),
             QByteArray("\x05\x00", 2));
    const QByteArray payload(100000, 'x');
    QCOMPARE(exchange(client, payload, payload.size()), payload);

    QCOMPARE(standin::readConnects(m_scratch->path()),
             (QStringList{"sing-box\tdomain\techo.test\t7", "xray\tdomain\techo.test\t7"}));
}

ORVIK_TEST_MAIN(TestStandin, QCoreApplication)
#include "tst_standin.moc"
