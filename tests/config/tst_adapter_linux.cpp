#include "config/adapter_linux.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using linuxnet::DefaultRoute;
using Medium = AdapterCandidate::Medium;

namespace {

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

// A /sys/class/net look-alike: the files the enumerator reads and the given subfolders.
void makeInterface(const QString& root, const char* name, int type, const char* operstate,
                   int ifindex, const QStringList& folders = {})
{
    const QString folder = root + QLatin1Char('/') + QLatin1String(name) + QLatin1Char('/');
    for (const QString& subfolder : folders + QStringList{QString()})
        QVERIFY(QDir().mkpath(folder + subfolder));
    const QList<std::pair<QString, QByteArray>> files = {{"type", QByteArray::number(type)},
                                                         {"operstate", operstate},
                                                         {"ifindex", QByteArray::number(ifindex)}};
    for (const auto& [file, content] : files) {
        QFile out(folder + file);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(content + '\n') > 0);
    }
}

} // namespace

class TestAdapterLinux : public QObject
{
    Q_OBJECT

private slots:
    void defaultRoutes_data() { testenv::addRowsFromFile("adapter-routes.tsv", 3); }
    void defaultRoutes();
    void candidatesFromSysfs();
    void enumerationOfThisMachine();
};

void TestAdapterLinux::defaultRoutes()
{
    QFETCH(QStringList, row);
    const QString header(
        "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\tMTU\tWindow\tIRTT\n");
    const QString text =
        row[1] == "-" ? QString() : header + QString(row[1]).replace(';', '\n').replace(' ', '\t');
    QStringList routes;
    for (const DefaultRoute& route : linuxnet::parseDefaultRoutes(text))
        routes.append(
            QStringLiteral("%1 %2 %3").arg(route.interfaceName, route.gateway).arg(route.metric));
    QCOMPARE(routes.join(", "), row[2]);
}

void TestAdapterLinux::candidatesFromSysfs()
{
    QTemporaryDir sysfs;
    // Listed in the folder in another order than their indexes.
    makeInterface(sysfs.path(), "wlp2s0", 1, "up", 3, {"phy80211", "device"});
    makeInterface(sysfs.path(), "enp3s0", 1, "up", 2, {"device"});
    makeInterface(sysfs.path(), "lo", 772, "unknown", 1);
    makeInterface(sysfs.path(), "OrvikVPN", 65534, "up", 9);
    makeInterface(sysfs.path(), "br0", 1, "up", 5);
    makeInterface(sysfs.path(), "wlan1", 1, "down", 4, {"wireless", "device"});

    const QList<DefaultRoute> routes{
        {"wlp2s0", "192.168.1.1", 600},
        {"br0", "10.9.0.1", 425},
        {"br0", "10.9.0.254", 50},
        {"OrvikVPN", "0.0.0.0", 0},
    };
    const QHash<QString, QStringList> addresses{
        {"lo", {"127.0.0.1"}},
        {"wlp2s0", {"169.254.3.3", "192.168.1.20"}},
        {"br0", {"10.9.0.2"}},
        {"OrvikVPN", {"172.19.0.1"}},
    };
    // clang-format off
    QCOMPARE(describe(linuxnet::interfaceCandidates(sysfs.path(), routes, addresses)), QStringList({
        "lo other down [127.0.0.1] gw[] metric 0 virtual",
        "enp3s0 ethernet up [] gw[] metric 0 hardware",
        "wlp2s0 wireless up [169.254.3.3,192.168.1.20] gw[192.168.1.1] metric 600 hardware",
        "wlan1 wireless down [] gw[] metric 0 hardware",
        "br0 ethernet up [10.9.0.2] gw[10.9.0.254,10.9.0.1] metric 50 virtual",
        "OrvikVPN other up [172.19.0.1] gw[0.0.0.0] metric 0 virtual",
    }));
    // clang-format on
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
