#include "config/adapter_linux.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using linuxnet::DefaultRoute;
using Medium = AdapterCandidate::Medium;

Q_DECLARE_METATYPE(QList<DefaultRoute>)

namespace {

const char kRouteHeader[] =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT"
    "                                                       \n";

QString routeRow(const char* iface, const char* destination, const char* gateway, const char* flags,
                 int metric, const char* mask)
{
    return QStringLiteral("%1\t%2\t%3\t%4\t0\t0\t%5\t%6\t0\t0\t0\n")
        .arg(QLatin1String(iface), QLatin1String(destination), QLatin1String(gateway),
             QLatin1String(flags))
        .arg(metric)
        .arg(QLatin1String(mask));
}

// One line per candidate, so a mismatch shows which interface and which field differ.
QStringList describe(const QList<AdapterCandidate>& candidates)
{
    QStringList lines;
    for (const AdapterCandidate& c : candidates) {
        const char* medium = c.medium == Medium::Ethernet   ? "ethernet"
                             : c.medium == Medium::Wireless ? "wireless"
                                                            : "other";
        lines.append(QStringLiteral("%1 %2 %3 [%4] gw[%5] metric %6 %7")
                         .arg(c.name, QLatin1String(medium),
                              c.up ? QStringLiteral("up") : QStringLiteral("down"),
                              c.ipv4Addresses.join(QLatin1Char(',')),
                              c.gateways.join(QLatin1Char(',')))
                         .arg(c.metric)
                         .arg(c.hardware ? QStringLiteral("hardware") : QStringLiteral("virtual")));
    }
    return lines;
}

// A /sys/class/net look-alike: one folder per interface with the files the enumerator reads.
struct FakeInterface
{
    const char* name;
    int type;
    const char* operstate;
    int ifindex;
    const char* extraFolder; // "device", "wireless", "phy80211" or nullptr
    bool device;
};

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void makeInterface(const QString& root, const FakeInterface& fake)
{
    const QString folder = root + QLatin1Char('/') + QLatin1String(fake.name);
    QVERIFY(QDir().mkpath(folder));
    writeFile(folder + QStringLiteral("/type"), QByteArray::number(fake.type) + '\n');
    writeFile(folder + QStringLiteral("/operstate"), QByteArray(fake.operstate) + '\n');
    writeFile(folder + QStringLiteral("/ifindex"), QByteArray::number(fake.ifindex) + '\n');
    if (fake.extraFolder)
        QVERIFY(QDir().mkpath(folder + QLatin1Char('/') + QLatin1String(fake.extraFolder)));
    if (fake.device)
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/device")));
}

} // namespace

class TestAdapterLinux : public QObject
{
    Q_OBJECT

private slots:
    void defaultRoutes_data();
    void defaultRoutes();
    void candidatesFromSysfs();
    void enumerationOfThisMachine();
};

void TestAdapterLinux::defaultRoutes_data()
{
    // clang-format off
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<DefaultRoute>>("expected");

    const QString header = QString::fromLatin1(kRouteHeader);
    QTest::newRow("this build machine") << header + routeRow("eth0", "00000000", "010200C0", "0003", 0, "00000000") + routeRow("eth0", "000200C0", "00000000", "0001", 0, "00FFFFFF") << QList<DefaultRoute>{{QStringLiteral("eth0"), QStringLiteral("192.0.2.1"), 0}};
    QTest::newRow("two interfaces, metrics in decimal, file order kept") << header + routeRow("wlp2s0", "00000000", "FE01A8C0", "0003", 600, "00000000") + routeRow("enp3s0", "00000000", "0101A8C0", "0003", 100, "00000000") << QList<DefaultRoute>{{QStringLiteral("wlp2s0"), QStringLiteral("192.168.1.254"), 600}, {QStringLiteral("enp3s0"), QStringLiteral("192.168.1.1"), 100}};
    QTest::newRow("default route without gateway") << header + routeRow("ppp0", "00000000", "00000000", "0001", 0, "00000000") << QList<DefaultRoute>{{QStringLiteral("ppp0"), QStringLiteral("0.0.0.0"), 0}};
    QTest::newRow("route not up, host route and network routes are not default") << header + routeRow("eth0", "00000000", "010200C0", "0002", 0, "00000000") + routeRow("eth0", "00000000", "010200C0", "0003", 0, "FFFFFFFF") + routeRow("eth0", "0000000A", "010200C0", "0003", 0, "000000FF") << QList<DefaultRoute>{};
    QTest::newRow("malformed rows skipped") << header + QStringLiteral("eth0\t00000000\n") + routeRow("eth0", "00000000", "XYZ00000", "0003", 0, "00000000") + routeRow("eth1", "00000000", "010200C0", "0003", 5, "00000000") << QList<DefaultRoute>{{QStringLiteral("eth1"), QStringLiteral("192.0.2.1"), 5}};
    QTest::newRow("header only") << header << QList<DefaultRoute>{};
    QTest::newRow("empty file") << QString() << QList<DefaultRoute>{};
    // clang-format on
}

void TestAdapterLinux::defaultRoutes()
{
    QFETCH(QString, text);
    QFETCH(QList<DefaultRoute>, expected);

    const QList<DefaultRoute> actual = linuxnet::parseDefaultRoutes(text);
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype i = 0; i < actual.size(); ++i) {
        QCOMPARE(actual[i].interfaceName, expected[i].interfaceName);
        QCOMPARE(actual[i].gateway, expected[i].gateway);
        QCOMPARE(actual[i].metric, expected[i].metric);
    }
}

void TestAdapterLinux::candidatesFromSysfs()
{
    QTemporaryDir sysfs;
    QVERIFY(sysfs.isValid());
    // Listed in the folder in another order than their indexes.
    const FakeInterface interfaces[] = {
        {"wlp2s0", 1, "up", 3, "phy80211", true},  {"enp3s0", 1, "up", 2, nullptr, true},
        {"lo", 772, "unknown", 1, nullptr, false}, {"OrvikVPN", 65534, "up", 9, nullptr, false},
        {"br0", 1, "up", 5, nullptr, false},       {"wlan1", 1, "down", 4, "wireless", true},
    };
    for (const FakeInterface& fake : interfaces)
        makeInterface(sysfs.path(), fake);

    const QList<DefaultRoute> routes{
        {QStringLiteral("wlp2s0"), QStringLiteral("192.168.1.1"), 600},
        {QStringLiteral("br0"), QStringLiteral("10.9.0.1"), 425},
        {QStringLiteral("br0"), QStringLiteral("10.9.0.254"), 50},
        {QStringLiteral("OrvikVPN"), QStringLiteral("0.0.0.0"), 0},
    };
    const QHash<QString, QStringList> addresses{
        {QStringLiteral("lo"), {QStringLiteral("127.0.0.1")}},
        {QStringLiteral("wlp2s0"), {QStringLiteral("169.254.3.3"), QStringLiteral("192.168.1.20")}},
        {QStringLiteral("br0"), {QStringLiteral("10.9.0.2")}},
        {QStringLiteral("OrvikVPN"), {QStringLiteral("172.19.0.1")}},
    };

    const QList<AdapterCandidate> candidates =
        linuxnet::interfaceCandidates(sysfs.path(), routes, addresses);
    QCOMPARE(describe(candidates),
             (QStringList{
                 QStringLiteral("lo other down [127.0.0.1] gw[] metric 0 virtual"),
                 QStringLiteral("enp3s0 ethernet up [] gw[] metric 0 hardware"),
                 QStringLiteral("wlp2s0 wireless up [169.254.3.3,192.168.1.20] gw[192.168.1.1] "
                                "metric 600 hardware"),
                 QStringLiteral("wlan1 wireless down [] gw[] metric 0 hardware"),
                 QStringLiteral("br0 ethernet up [10.9.0.2] gw[10.9.0.254,10.9.0.1] metric 50 "
                                "virtual"),
                 QStringLiteral("OrvikVPN other up [172.19.0.1] gw[0.0.0.0] metric 0 virtual"),
             }));
}

// The real kernel files: whatever this machine has, every candidate must be well formed.
void TestAdapterLinux::enumerationOfThisMachine()
{
    const QList<AdapterCandidate> candidates = enumerateAdapterCandidates();
    QVERIFY(!candidates.isEmpty()); // the loopback interface at least
    static const QRegularExpression dotted(QStringLiteral("^(\\d{1,3}\\.){3}\\d{1,3}$"));
    bool sawLoopback = false;
    for (const AdapterCandidate& candidate : candidates) {
        QVERIFY(!candidate.name.isEmpty());
        for (const QString& address : candidate.ipv4Addresses + candidate.gateways)
            QVERIFY2(dotted.match(address).hasMatch(), qPrintable(address));
        if (candidate.name == QLatin1String("lo")) {
            sawLoopback = true;
            QCOMPARE(candidate.medium, Medium::Other);
            QVERIFY(candidate.ipv4Addresses.contains(QStringLiteral("127.0.0.1")));
        }
    }
    QVERIFY(sawLoopback);
}

ORVIK_TEST_MAIN(TestAdapterLinux, QCoreApplication)
#include "tst_adapter_linux.moc"
