#include "profiles/profileuri.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace {

const QString kSample = QStringLiteral(ORVIK_TEST_DATA "/sample-subscription.txt");

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run inspect(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    process.start(QStringLiteral(ORVIK_INSPECT_EXE),
                  QStringList{QStringLiteral("parse")} + arguments);
    if (!process.waitForStarted(10000))
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The JSON the tool must print for a profile, built here from the record.
QJsonObject expectedProfile(const ServerProfile& p)
{
    return {
        {"kind", static_cast<int>(p.kind)},
        {"name", p.name},
        {"uri", p.uri},
        {"host", p.host},
        {"credential", p.credential},
        {"obfsPassword", p.obfsPassword},
        {"sni", p.sni},
        {"publicKey", p.publicKey},
        {"shortId", p.shortId},
        {"serviceName", p.serviceName},
        {"authority", p.authority},
        {"grpcMultiMode", p.grpcMultiMode},
        {"path", p.path},
        {"hostHeader", p.hostHeader},
        {"fingerprint", p.fingerprint},
        {"security", p.security},
        {"flow", p.flow},
        {"xhttpMode", p.xhttpMode},
        {"fragmentLengths", p.fragmentLengths},
        {"fragmentDelays", p.fragmentDelays},
        {"fragmentPackets", p.fragmentPackets},
        {"fragmentMaxSplit", p.fragmentMaxSplit},
        {"port", p.port},
    };
}

QList<QJsonObject> jsonLines(const QByteArray& out)
{
    QList<QJsonObject> objects;
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            return {};
        objects.append(document.object());
    }
    return objects;
}

} // namespace

class TestInspectParse : public QObject
{
    Q_OBJECT

private slots:
    void sampleSubscription();
    void base64FromStandardInput();
    void allAccepted();
    void badUsage_data();
    void badUsage();
};

void TestInspectParse::sampleSubscription()
{
    const Run run = inspect({kSample});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.err.contains("5 of 13 lines refused"));

    struct Expected
    {
        const char* labelOrError;
        int kind; // -1: refused
        const char* name;
    };
    const QList<Expected> expected = {
        {"VLESS · TCP · REALITY", 3, "🇩🇪 Frankfurt"},
        {"VLESS · gRPC · REALITY", 1, "Amsterdam gRPC"},
        {"VLESS · WebSocket · TLS", 2, "Helsinki \"WS\""},
        {"VLESS · XHTTP · TLS", 4, "Stockholm XHTTP"},
        {"Trojan · TCP · TLS", 5, "Warsaw\\backslash"},
        {"Trojan · gRPC · TLS", 6, "Prague"},
        {"Hysteria2", 0, "Hysteria IPv6"},
        {"Hysteria2", 0, "hy.example.net"},
        {"Неподдерживаемый протокол: ss", -1, ""},
        {"Некорректные параметры REALITY", -1, ""},
        {"Неподдерживаемый профиль Trojan", -1, ""},
        {"Фрагментация доступна только для TCP-транспортов", -1, ""},
        {"Некорректный адрес сервера", -1, ""},
    };

    const QList<QJsonObject> objects = jsonLines(run.out);
    QCOMPARE(objects.size(), expected.size());
    // Strict JSON: control characters inside strings must be escaped (Qt's reader lets them pass).
    for (const char c : run.out)
        QVERIFY(static_cast<unsigned char>(c) >= 0x20 || c == '\n');

    QStringList profileLines;
    for (const QString& line : QString::fromUtf8(readFile(kSample)).split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty() && !line.trimmed().startsWith(QLatin1Char('#')))
            profileLines.append(line);
    }
    QCOMPARE(profileLines.size(), expected.size());

    for (int i = 0; i < expected.size(); ++i) {
        const QJsonObject object = objects.at(i);
        const Expected& want = expected.at(i);
        if (want.kind < 0) {
            QCOMPARE(object.keys(), QStringList({"error", "ok"}));
            QCOMPARE(object.value("ok"), QJsonValue(false));
            QCOMPARE(object.value("error").toString(), QString::fromUtf8(want.labelOrError));
            continue;
        }
        QCOMPARE(object.keys(), QStringList({"label", "ok", "profile"}));
        QCOMPARE(object.value("ok"), QJsonValue(true));
        QCOMPARE(object.value("label").toString(), QString::fromUtf8(want.labelOrError));

        const QJsonObject profile = object.value("profile").toObject();
        QCOMPARE(profile.value("kind"), QJsonValue(want.kind));
        QCOMPARE(profile.value("name").toString(), QString::fromUtf8(want.name));

        ServerProfile parsed;
        QVERIFY(parseProfileUri(profileLines.at(i), parsed));
        QCOMPARE(profile, expectedProfile(parsed));
    }

    // Field types as documented: numbers, one boolean, strings.
    const QJsonObject grpc = objects.at(1).value("profile").toObject();
    QCOMPARE(grpc.size(), 23);
    QVERIFY(grpc.value("port").isDouble());
    QCOMPARE(grpc.value("port").toInt(), 8443);
    QCOMPARE(grpc.value("grpcMultiMode"), QJsonValue(true));
    QCOMPARE(grpc.value("serviceName"), QJsonValue("orvik"));
}

// The body as the service may send it: one base64 block, wrapped, on standard input.
void TestInspectParse::base64FromStandardInput()
{
    const QByteArray plain = readFile(kSample);
    QVERIFY(!plain.isEmpty());
    QByteArray encoded = plain.toBase64();
    for (qsizetype i = 76; i < encoded.size(); i += 78)
        encoded.insert(i, "\r\n");

    const Run fromFile = inspect({kSample});
    const Run fromStdin = inspect({}, encoded);
    QCOMPARE(fromStdin.exitCode, 1);
    QVERIFY(!fromFile.out.isEmpty());
    QCOMPARE(fromStdin.out, fromFile.out);

    const Run dash = inspect({QStringLiteral("-")}, plain);
    QCOMPARE(dash.out, fromFile.out);
}

void TestInspectParse::allAccepted()
{
    const QByteArray body = "# one profile\n"
                            "hy2://k@h.example:443#a\n";
    const Run run = inspect({}, body);
    QCOMPARE(run.exitCode, 0);
    const QList<QJsonObject> objects = jsonLines(run.out);
    QCOMPARE(objects.size(), 1);
    QCOMPARE(objects.first().value("label"), QJsonValue("Hysteria2"));

    // A "://" anywhere keeps the body from being read as base64.
    const Run empty = inspect({}, "# see https://example.net\n");
    QCOMPARE(empty.exitCode, 0);
    QVERIFY(empty.out.isEmpty());
    QVERIFY(empty.err.contains("no profile lines"));
}

void TestInspectParse::badUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const QString missing = testenv::home() + QStringLiteral("/missing.txt");
    QTest::newRow("missing file") << QStringList{missing}
                                  << QStringLiteral("cannot read ") + missing;
    QTest::newRow("folder") << QStringList{testenv::home()} << QStringLiteral("cannot read");
    QTest::newRow("two files") << QStringList{kSample, kSample}
                               << QStringLiteral("usage: orvik-inspect parse");
    QTest::newRow("option") << QStringList{QStringLiteral("--all")}
                            << QStringLiteral("usage: orvik-inspect parse");
}

void TestInspectParse::badUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    const Run run = inspect(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(QString::fromUtf8(run.err).contains(message), run.err.constData());
}

ORVIK_TEST_MAIN(TestInspectParse, QCoreApplication)
#include "tst_inspect_parse.moc"
