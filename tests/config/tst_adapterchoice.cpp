#include "config/adapterchoice.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>

Q_DECLARE_METATYPE(PhysicalAdapter)

using Medium = AdapterCandidate::Medium;
using Candidates = QList<AdapterCandidate>;

namespace {

AdapterCandidate candidate(const QString& name, Medium medium, quint32 metric,
                           const QStringList& addresses = {QStringLiteral("192.168.1.10")},
                           const QStringList& gateways = {QStringLiteral("192.168.1.1")},
                           bool hardware = true, bool up = true)
{
    return {name, medium, up, addresses, gateways, metric, hardware};
}

PhysicalAdapter chosen(const QString& name, const QString& address = QStringLiteral("192.168.1.10"),
                       const QString& gateway = QStringLiteral("192.168.1.1"))
{
    return {name, address, gateway};
}

} // namespace

class TestAdapterChoice : public QObject
{
    Q_OBJECT

private slots:
    void choose_data();
    void choose();
};

void TestAdapterChoice::choose_data()
{
    // clang-format off
    QTest::addColumn<Candidates>("candidates");
    QTest::addColumn<PhysicalAdapter>("expected");

    const QString eth = QStringLiteral("Ethernet");
    const QString wifi = QStringLiteral("Wi-Fi");
    const QStringList gw{QStringLiteral("192.168.1.1")};

    QTest::newRow("nothing listed") << Candidates{} << PhysicalAdapter{};
    QTest::newRow("one wired adapter") << Candidates{candidate(eth, Medium::Ethernet, 25)} << chosen(eth);
    QTest::newRow("one wireless adapter") << Candidates{candidate(wifi, Medium::Wireless, 35)} << chosen(wifi);

    // Addresses.
    QTest::newRow("only a link-local address") << Candidates{candidate(eth, Medium::Ethernet, 25, {QStringLiteral("169.254.7.7")})} << PhysicalAdapter{};
    QTest::newRow("link-local first, then a usable one") << Candidates{candidate(eth, Medium::Ethernet, 25, {QStringLiteral("169.254.1.1"), QStringLiteral("192.168.1.10")})} << chosen(eth);
    QTest::newRow("loopback skipped") << Candidates{candidate(eth, Medium::Ethernet, 25, {QStringLiteral("127.0.0.2"), QStringLiteral("10.0.0.4")})} << chosen(eth, QStringLiteral("10.0.0.4"));
    QTest::newRow("0.0.0.0 skipped") << Candidates{candidate(eth, Medium::Ethernet, 25, {QStringLiteral("0.0.0.0"), QStringLiteral("10.0.0.4")})} << chosen(eth, QStringLiteral("10.0.0.4"));
    QTest::newRow("the first usable address wins over later ones") << Candidates{candidate(eth, Medium::Ethernet, 25, {QStringLiteral("10.0.0.4"), QStringLiteral("192.168.1.10")})} << chosen(eth, QStringLiteral("10.0.0.4"));
    QTest::newRow("no address at all") << Candidates{candidate(eth, Medium::Ethernet, 25, {})} << PhysicalAdapter{};
    QTest::newRow("an address that only looks like 169.254 prefix is kept") << Candidates{candidate(eth, Medium::Ethernet, 25, {QStringLiteral("169.25.1.1")})} << chosen(eth, QStringLiteral("169.25.1.1"));

    // Gateways.
    QTest::newRow("no gateway") << Candidates{candidate(wifi, Medium::Wireless, 35, {QStringLiteral("192.168.1.10")}, {})} << PhysicalAdapter{};
    QTest::newRow("gateway 0.0.0.0") << Candidates{candidate(wifi, Medium::Wireless, 35, {QStringLiteral("192.168.1.10")}, {QStringLiteral("0.0.0.0")})} << PhysicalAdapter{};
    QTest::newRow("first gateway not IPv4, second is: skipped") << Candidates{candidate(wifi, Medium::Wireless, 35, {QStringLiteral("192.168.1.10")}, {QString(), QStringLiteral("192.168.1.1")})} << PhysicalAdapter{};
    QTest::newRow("the first of several gateways") << Candidates{candidate(wifi, Medium::Wireless, 35, {QStringLiteral("192.168.1.10")}, {QStringLiteral("192.168.1.254"), QStringLiteral("192.168.1.1")})} << chosen(wifi, QStringLiteral("192.168.1.10"), QStringLiteral("192.168.1.254"));
    QTest::newRow("an adapter without gateway does not hide a worse one") << Candidates{candidate(eth, Medium::Ethernet, 5, {QStringLiteral("10.0.0.4")}, {}), candidate(wifi, Medium::Wireless, 35)} << chosen(wifi);

    // Type and status.
    QTest::newRow("down adapter skipped") << Candidates{candidate(eth, Medium::Ethernet, 5, {QStringLiteral("10.0.0.4")}, gw, true, false), candidate(wifi, Medium::Wireless, 35)} << chosen(wifi);
    QTest::newRow("other types never qualify, even with the lowest metric") << Candidates{candidate(QStringLiteral("tun"), Medium::Other, 1), candidate(wifi, Medium::Wireless, 35)} << chosen(wifi);
    QTest::newRow("only other types") << Candidates{candidate(QStringLiteral("ppp0"), Medium::Other, 1)} << PhysicalAdapter{};

    // Metric, hardware penalty and ties.
    QTest::newRow("lower metric wins: Ethernet 25 over Wi-Fi 35") << Candidates{candidate(wifi, Medium::Wireless, 35, {QStringLiteral("192.168.1.20")}), candidate(eth, Medium::Ethernet, 25)} << chosen(eth);
    QTest::newRow("software Ethernet 5 loses to hardware Wi-Fi 50") << Candidates{candidate(QStringLiteral("vEthernet"), Medium::Ethernet, 5, {QStringLiteral("172.20.0.1")}, {QStringLiteral("172.20.0.254")}, false), candidate(wifi, Medium::Wireless, 50)} << chosen(wifi);
    QTest::newRow("a penalised metric equal to the best does not win") << Candidates{candidate(wifi, Medium::Wireless, 100005), candidate(QStringLiteral("vEthernet"), Medium::Ethernet, 5, {QStringLiteral("172.20.0.1")}, {QStringLiteral("172.20.0.254")}, false)} << chosen(wifi);
    QTest::newRow("software adapter wins when its penalised metric is lower") << Candidates{candidate(wifi, Medium::Wireless, 100006), candidate(QStringLiteral("vEthernet"), Medium::Ethernet, 5, {QStringLiteral("172.20.0.1")}, {QStringLiteral("172.20.0.254")}, false)} << chosen(QStringLiteral("vEthernet"), QStringLiteral("172.20.0.1"), QStringLiteral("172.20.0.254"));
    QTest::newRow("the penalty does not wrap around a 32-bit metric") << Candidates{candidate(eth, Medium::Ethernet, 200000), candidate(QStringLiteral("vEthernet"), Medium::Ethernet, 0xFFFFFFF0u, {QStringLiteral("172.20.0.1")}, gw, false)} << chosen(eth);
    QTest::newRow("a lone software adapter qualifies") << Candidates{candidate(QStringLiteral("veth0"), Medium::Ethernet, 0, {QStringLiteral("10.1.0.2")}, {QStringLiteral("10.1.0.1")}, false)} << chosen(QStringLiteral("veth0"), QStringLiteral("10.1.0.2"), QStringLiteral("10.1.0.1"));
    QTest::newRow("equal metrics: the first listed stays") << Candidates{candidate(wifi, Medium::Wireless, 25, {QStringLiteral("192.168.1.20")}), candidate(eth, Medium::Ethernet, 25)} << chosen(wifi, QStringLiteral("192.168.1.20"));
    QTest::newRow("a later lower metric replaces an earlier pick") << Candidates{candidate(wifi, Medium::Wireless, 50, {QStringLiteral("192.168.1.20")}), candidate(eth, Medium::Ethernet, 40, {QStringLiteral("192.168.1.30")}), candidate(QStringLiteral("Ethernet 2"), Medium::Ethernet, 30)} << chosen(QStringLiteral("Ethernet 2"));
    // clang-format on
}

void TestAdapterChoice::choose()
{
    QFETCH(Candidates, candidates);
    QFETCH(PhysicalAdapter, expected);

    const PhysicalAdapter actual = choosePhysicalAdapter(candidates);
    QCOMPARE(actual.interfaceName, expected.interfaceName);
    QCOMPARE(actual.ipv4Address, expected.ipv4Address);
    QCOMPARE(actual.gateway, expected.gateway);
}

ORVIK_TEST_MAIN(TestAdapterChoice, QCoreApplication)
#include "tst_adapterchoice.moc"
