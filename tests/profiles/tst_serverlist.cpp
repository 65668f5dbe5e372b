// Server entries, the country guess, URI identity and the selection across list replacements.

#include "profiles/profileuri.h"
#include "profiles/serverlist.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QTest>

namespace {

QVariantMap entry(const QString& name, const QString& uri)
{
    ServerProfile profile;
    profile.name = name;
    profile.uri = uri;
    profile.host = name + QStringLiteral(".example");
    profile.port = 443;
    return makeServerEntry(profile);
}

QVariantList entries(const QStringList& uris)
{
    QVariantList list;
    for (const QString& uri : uris)
        list << entry(QUrl(uri).fragment(), uri);
    return list;
}

} // namespace

class ServerListTest : public QObject
{
    Q_OBJECT

private slots:
    void countryCode_data();
    void countryCode();
    void entryHasExactlyTheEightKeys();
    void uriWithoutFragment_data();
    void uriWithoutFragment();
    void restoredRow_data();
    void restoredRow();
    void containsServerIgnoresNames();
};

void ServerListTest::countryCode_data()
{
    // clang-format off
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("code");
    QTest::newRow("city, IPv4 host") << "Amsterdam 1" << "203.0.113.7" << "NL";
    QTest::newRow("Netherlands first") << "Poland" << "srv-nl.example.net" << "NL";
    QTest::newRow("host alone") << "Server 3" << "srv-nl.example.net" << "NL";
    QTest::newRow("upper-case suffix") << "EDGE-NL" << "203.0.113.7" << "NL";
    QTest::newRow("dutch flag") << QStringLiteral(u"🇳🇱 Main") << "h.example" << "NL";
    QTest::newRow("russian Netherlands") << QStringLiteral(u"Нидерланды") << "h.example" << "NL";
    QTest::newRow("upper-case Netherlands") << "NETHERLANDS" << "h.example" << "NL";
    QTest::newRow("polish flag") << QStringLiteral(u"🇵🇱") << "h.example" << "PL";
    QTest::newRow("russian Poland") << QStringLiteral(u"Польша") << "h.example" << "PL";
    QTest::newRow("Warsaw") << "Warsaw" << "h.example" << "PL";
    QTest::newRow("polish host") << "x" << "srv-pl.example" << "PL";
    QTest::newRow("finnish flag") << QStringLiteral(u"🇫🇮 Fast") << "h.example" << "FI";
    QTest::newRow("russian Finland, capitals") << QStringLiteral(u"ФИНЛЯНДИЯ") << "h.example" << "FI";
    QTest::newRow("Helsinki") << "helsinki-2" << "h.example" << "FI";
    QTest::newRow("Finland before Germany") << "Germany" << "x-fi.example" << "FI";
    QTest::newRow("russian Germany") << QStringLiteral(u"Германия") << "h.example" << "DE";
    QTest::newRow("german flag") << QStringLiteral(u"🇩🇪") << "h.example" << "DE";
    QTest::newRow("Germany") << "Germany 2" << "h.example" << "DE";
    QTest::newRow("DE prefix is not Germany") << "DE-1" << "de.example.net" << "VPN";
    QTest::newRow("norwegian flag shares a letter") << QStringLiteral(u"🇳🇴") << "h.example" << "VPN";
    QTest::newRow("unknown") << "Tokyo" << "jp.example" << "VPN";
    QTest::newRow("empty") << "" << "" << "VPN";
    // clang-format on
}

void ServerListTest::countryCode()
{
    QFETCH(QString, name);
    QFETCH(QString, host);
    QFETCH(QString, code);
    QCOMPARE(detectCountryCode(name, host), code);
}

void ServerListTest::entryHasExactlyTheEightKeys()
{
    ServerProfile profile;
    profile.kind = ProfileKind::TrojanTcp;
    profile.name = QStringLiteral(u"Нидерланды 1");
    profile.uri = QStringLiteral("trojan://pw@nl.example.net:8443?security=tls#x");
    profile.host = QStringLiteral("nl.example.net");
    profile.credential = QStringLiteral("pw");
    profile.port = 8443;

    const QVariantMap expected{{"name", profile.name},
                               {"endpoint", "nl.example.net:8443"},
                               {"uri", profile.uri},
                               {"countryCode", "NL"},
                               {"protocol", protocolLabel(profile)},
                               {"latency", -2},
                               {"pinging", false},
                               {"checkError", QString()}};
    QCOMPARE(makeServerEntry(profile), expected);
}

void ServerListTest::uriWithoutFragment_data()
{
    // clang-format off
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("expected");
    QTest::newRow("name") << "hy2://pw@h.example:443?sni=a#Name" << "hy2://pw@h.example:443?sni=a";
    QTest::newRow("empty fragment") << "hy2://pw@h.example:443#" << "hy2://pw@h.example:443";
    QTest::newRow("none") << "hy2://pw@h.example:443" << "hy2://pw@h.example:443";
    QTest::newRow("cyrillic name") << QStringLiteral(u"trojan://pw@h.example:443#Нидерланды 1") << "trojan://pw@h.example:443";
    QTest::newRow("encoded query kept") << "vless://id@h.example:443?type=grpc&serviceName=a%2Fb#n" << "vless://id@h.example:443?type=grpc&serviceName=a%2Fb";
    QTest::newRow("space encoded") << "vless://id@h.example:443?path=/a b#n" << "vless://id@h.example:443?path=/a%20b";
    // clang-format on
}

void ServerListTest::uriWithoutFragment()
{
    QFETCH(QString, uri);
    QFETCH(QString, expected);
    QCOMPARE(::uriWithoutFragment(uri), expected);
}

void ServerListTest::restoredRow_data()
{
    // clang-format off
    const QVariantList list =
        entries({"hy2://a@one.example:443#one", "hy2://b@two.example:443#two",
                 "hy2://c@three.example:443#three", "hy2://b@two.example:443#two again"});
    QTest::addColumn<QVariantList>("list");
    QTest::addColumn<QString>("previous");
    QTest::addColumn<int>("row");
    QTest::newRow("same line") << list << "hy2://c@three.example:443#three" << 2;
    QTest::newRow("renamed") << list << "hy2://c@three.example:443#old name" << 2;
    QTest::newRow("no name") << list << "hy2://c@three.example:443" << 2;
    QTest::newRow("several matches: the last") << list << "hy2://b@two.example:443#x" << 3;
    QTest::newRow("vanished") << list << "hy2://d@four.example:443#four" << 0;
    QTest::newRow("other credential") << list << "hy2://z@three.example:443#three" << 0;
    QTest::newRow("nothing before") << list << "" << 0;
    // clang-format on
}

void ServerListTest::restoredRow()
{
    QFETCH(QVariantList, list);
    QFETCH(QString, previous);
    QFETCH(int, row);
    QCOMPARE(restoredSelectedRow(list, previous), row);
}

void ServerListTest::containsServerIgnoresNames()
{
    const QVariantList list =
        entries({"hy2://a@one.example:443#one", "hy2://b@two.example:443#two"});
    QVERIFY(listContainsServer(list, "hy2://b@two.example:443#renamed"));
    QVERIFY(listContainsServer(list, "hy2://a@one.example:443"));
    QVERIFY(!listContainsServer(list, "hy2://b@two.example:8443#two"));
    QVERIFY(!listContainsServer({}, "hy2://a@one.example:443#one"));
}

ORVIK_TEST_MAIN(ServerListTest, QApplication)
#include "tst_serverlist.moc"
