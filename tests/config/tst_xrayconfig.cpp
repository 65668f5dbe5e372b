#include "config/singboxconfig.h"
#include "config/xrayconfig.h"
#include "tests/config/jsoncompare.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QJsonArray>

Q_DECLARE_METATYPE(ServerProfile)
Q_DECLARE_METATYPE(PhysicalAdapter)

namespace {

const PhysicalAdapter kWifi{QStringLiteral("Wi-Fi"), QStringLiteral("192.168.1.10"),
                            QStringLiteral("192.168.1.1")};
const QString kUuid = QStringLiteral("0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e");
const QString kPublicKey = QStringLiteral("SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc");

ServerProfile vless(ProfileKind kind, const QString& security)
{
    ServerProfile profile;
    profile.kind = kind;
    profile.host = QStringLiteral("vpn.example.com");
    profile.credential = kUuid;
    profile.sni = QStringLiteral("www.example.org");
    profile.security = security;
    profile.port = 443;
    if (security == QLatin1String("reality")) {
        profile.publicKey = kPublicKey;
        profile.shortId = QStringLiteral("6ba85179e30d4fc2");
        profile.fingerprint = QStringLiteral("chrome");
    }
    return profile;
}

ServerProfile trojan(ProfileKind kind)
{
    ServerProfile profile;
    profile.kind = kind;
    profile.host = QStringLiteral("tr.example.com");
    profile.credential = QStringLiteral("trojan-password");
    profile.sni = QStringLiteral("tr.example.com");
    profile.security = QStringLiteral("tls");
    profile.port = 8443;
    return profile;
}

ServerProfile withFlow(ServerProfile profile)
{
    profile.flow = QStringLiteral("xtls-rprx-vision");
    return profile;
}

ServerProfile withGrpc(ServerProfile profile, bool multiMode)
{
    profile.serviceName = QStringLiteral("tunnel");
    profile.authority = QStringLiteral("grpc.example.org");
    profile.grpcMultiMode = multiMode;
    return profile;
}

ServerProfile withFragment(ServerProfile profile, const QString& maxSplit)
{
    profile.fragmentLengths = QStringLiteral("100-200");
    profile.fragmentDelays = QStringLiteral("10-20");
    profile.fragmentPackets = QStringLiteral("tlshello");
    profile.fragmentMaxSplit = maxSplit;
    return profile;
}

const char kVlessOutbound[] = R"({"tag": "vpn", "protocol": "vless", "sendThrough": "192.168.1.10",
    "settings": {"vnext": [{"address": "203.0.113.5", "port": 443, "users": [
      {"id": "0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e", "encryption": "none"}]}]}})";
const char kTrojanOutbound[] =
    R"({"tag": "vpn", "protocol": "trojan", "sendThrough": "192.168.1.10",
    "settings": {"servers": [{"address": "203.0.113.5", "port": 8443,
      "password": "trojan-password"}]}})";

// The document around one outbound: the base outbound of the profile's protocol with the
// row's members put in (or taken out, with null).
QJsonObject expectedDocument(const ServerProfile& profile, const QByteArray& changes)
{
    const bool trojan =
        profile.kind == ProfileKind::TrojanTcp || profile.kind == ProfileKind::TrojanGrpc;
    QJsonObject outbound = jsonObject(trojan ? kTrojanOutbound : kVlessOutbound);
    const QJsonObject changed = jsonObject(changes.constData());
    for (auto member = changed.begin(); member != changed.end(); ++member) {
        if (member.value().isNull())
            outbound.remove(member.key());
        else
            outbound.insert(member.key(), member.value());
    }
    QJsonObject document = jsonObject(R"({
      "log": {"loglevel": "warning", "access": "none"},
      "inbounds": [{"tag": "local-socks", "listen": "127.0.0.1", "port": 20002,
                    "protocol": "socks",
                    "settings": {"auth": "noauth", "udp": true, "ip": "127.0.0.1"}}]
    })");
    document.insert(QStringLiteral("outbounds"), QJsonArray{outbound});
    return document;
}

} // namespace

class TestXrayConfig : public QObject
{
    Q_OBJECT

private slots:
    void document_data();
    void document();
    void xrayPortIsWhereSingBoxSendsTraffic();
};

void TestXrayConfig::document_data()
{
    QTest::addColumn<ServerProfile>("profile");
    QTest::addColumn<PhysicalAdapter>("adapter");
    QTest::addColumn<QByteArray>("changes");

    const QByteArray flowUser = R"("settings": {"vnext": [{"address": "203.0.113.5", "port": 443,
        "users": [{"id": "0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e", "encryption": "none",
                   "flow": "xtls-rprx-vision"}]}]})";
    const QByteArray tlsTcp = R"("streamSettings": {"network": "raw", "security": "tls",
        "tlsSettings": {"serverName": "www.example.org", "fingerprint": "chrome",
                        "allowInsecure": false},
        "sockopt": {"interface": "Wi-Fi"}})";

    ServerProfile braced = vless(ProfileKind::VlessTcp, QStringLiteral("tls"));
    braced.credential = QStringLiteral("{0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e}");
    QTest::newRow("VLESS user id in braces reaches Xray bare")
        << braced << kWifi << "{" + tlsTcp + "}";
    QTest::newRow("VLESS TCP REALITY with flow")
        << withFlow(vless(ProfileKind::VlessTcp, QStringLiteral("reality"))) << kWifi
        << "{" + flowUser + R"(, "streamSettings": {"network": "raw", "security": "reality",
              "realitySettings": {"serverName": "www.example.org", "fingerprint": "chrome",
                "publicKey": "SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc",
                "shortId": "6ba85179e30d4fc2"},
              "sockopt": {"interface": "Wi-Fi"}}})";
    ServerProfile firefox = vless(ProfileKind::VlessTcp, QStringLiteral("reality"));
    firefox.fingerprint = QStringLiteral("firefox");
    firefox.shortId.clear();
    QTest::newRow("VLESS TCP REALITY without flow, own fingerprint, empty short id")
        << firefox << kWifi
        << QByteArray(R"({"streamSettings": {"network": "raw", "security": "reality",
              "realitySettings": {"serverName": "www.example.org", "fingerprint": "firefox",
                "publicKey": "SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc", "shortId": ""},
              "sockopt": {"interface": "Wi-Fi"}}})");
    QTest::newRow("VLESS TCP TLS without fp presents chrome")
        << vless(ProfileKind::VlessTcp, QStringLiteral("tls")) << kWifi << "{" + tlsTcp + "}";
    QTest::newRow("VLESS TCP TLS with flow")
        << withFlow(vless(ProfileKind::VlessTcp, QStringLiteral("tls"))) << kWifi
        << "{" + flowUser + ", " + tlsTcp + "}";
    QTest::newRow("VLESS gRPC TLS: alpn h2")
        << withGrpc(vless(ProfileKind::VlessGrpc, QStringLiteral("tls")), true) << kWifi
        << QByteArray(R"({"streamSettings": {"network": "grpc", "security": "tls",
              "tlsSettings": {"serverName": "www.example.org", "fingerprint": "chrome",
                "allowInsecure": false, "alpn": ["h2"]},
              "grpcSettings": {"serviceName": "tunnel", "authority": "grpc.example.org",
                "multiMode": true},
              "sockopt": {"interface": "Wi-Fi"}}})");
    QTest::newRow("VLESS gRPC REALITY: no alpn")
        << withGrpc(vless(ProfileKind::VlessGrpc, QStringLiteral("reality")), false) << kWifi
        << QByteArray(R"({"streamSettings": {"network": "grpc", "security": "reality",
              "realitySettings": {"serverName": "www.example.org", "fingerprint": "chrome",
                "publicKey": "SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc",
                "shortId": "6ba85179e30d4fc2"},
              "grpcSettings": {"serviceName": "tunnel", "authority": "grpc.example.org",
                "multiMode": false},
              "sockopt": {"interface": "Wi-Fi"}}})");
    ServerProfile ws = vless(ProfileKind::VlessWebSocket, QStringLiteral("tls"));
    ws.path = QStringLiteral("/ws?ed=2048");
    ws.hostHeader = QStringLiteral("cdn.example.org");
    ws.xhttpMode = QStringLiteral("auto");
    QTest::newRow("VLESS WebSocket")
        << ws << kWifi << QByteArray(R"({"streamSettings": {"network": "ws", "security": "tls",
              "tlsSettings": {"serverName": "www.example.org", "fingerprint": "chrome",
                "allowInsecure": false},
              "wsSettings": {"path": "/ws?ed=2048", "headers": {"Host": "cdn.example.org"}},
              "sockopt": {"interface": "Wi-Fi"}}})");
    ServerProfile xhttp = vless(ProfileKind::VlessXhttp, QStringLiteral("reality"));
    xhttp.path = QStringLiteral("/x");
    xhttp.hostHeader = QStringLiteral("www.example.org");
    xhttp.xhttpMode = QStringLiteral("stream-one");
    QTest::newRow("VLESS XHTTP REALITY")
        << xhttp << kWifi
        << QByteArray(R"({"streamSettings": {"network": "xhttp", "security": "reality",
              "realitySettings": {"serverName": "www.example.org", "fingerprint": "chrome",
                "publicKey": "SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc",
                "shortId": "6ba85179e30d4fc2"},
              "xhttpSettings": {"path": "/x", "host": "www.example.org", "mode": "stream-one"},
              "sockopt": {"interface": "Wi-Fi"}}})");

    const QByteArray trojanTls = R"("streamSettings": {"network": "raw", "security": "tls",
        "tlsSettings": {"serverName": "tr.example.com", "fingerprint": "chrome",
                        "allowInsecure": false})";
    QTest::newRow("Trojan TCP: servers, not vnext")
        << trojan(ProfileKind::TrojanTcp) << kWifi
        << "{" + trojanTls + R"(, "sockopt": {"interface": "Wi-Fi"}}})";
    QTest::newRow("Trojan gRPC") << withGrpc(trojan(ProfileKind::TrojanGrpc), false) << kWifi
                                 << QByteArray(
                                        R"({"streamSettings": {"network": "grpc", "security": "tls",
              "tlsSettings": {"serverName": "tr.example.com", "fingerprint": "chrome",
                "allowInsecure": false, "alpn": ["h2"]},
              "grpcSettings": {"serviceName": "tunnel", "authority": "grpc.example.org",
                "multiMode": false},
              "sockopt": {"interface": "Wi-Fi"}}})");
    QTest::newRow("fragment with three items: no maxSplit")
        << withFragment(trojan(ProfileKind::TrojanTcp), QString()) << kWifi
        << "{" + trojanTls + R"(, "sockopt": {"interface": "Wi-Fi"},
              "finalmask": {"tcp": [{"type": "fragment", "settings": {"packets": "tlshello",
                "lengths": ["100-200"], "delays": ["10-20"]}}]}}})";
    QTest::newRow("fragment with four items: maxSplit as text")
        << withFragment(trojan(ProfileKind::TrojanTcp), QStringLiteral("5")) << kWifi
        << "{" + trojanTls + R"(, "sockopt": {"interface": "Wi-Fi"},
              "finalmask": {"tcp": [{"type": "fragment", "settings": {"packets": "tlshello",
                "lengths": ["100-200"], "delays": ["10-20"], "maxSplit": "5"}}]}}})";

    const QByteArray unbound = R"({"sendThrough": null, )" + trojanTls + "}}";
    QTest::newRow("adapter without name: neither sendThrough nor sockopt")
        << trojan(ProfileKind::TrojanTcp)
        << PhysicalAdapter{QString(), QStringLiteral("192.168.1.10"), QStringLiteral("192.168.1.1")}
        << unbound;
    QTest::newRow("adapter without address: neither sendThrough nor sockopt")
        << trojan(ProfileKind::TrojanTcp)
        << PhysicalAdapter{QStringLiteral("Wi-Fi"), QString(), QStringLiteral("192.168.1.1")}
        << unbound;
}

void TestXrayConfig::document()
{
    QFETCH(ServerProfile, profile);
    QFETCH(PhysicalAdapter, adapter);
    QFETCH(QByteArray, changes);

    COMPARE_JSON(buildXrayConfig(profile, QStringLiteral("203.0.113.5"), adapter, 20002),
                 expectedDocument(profile, changes));
}

void TestXrayConfig::xrayPortIsWhereSingBoxSendsTraffic()
{
    const ServerProfile profile = vless(ProfileKind::VlessTcp, QStringLiteral("tls"));
    const QJsonObject xray = buildXrayConfig(profile, QStringLiteral("203.0.113.5"), kWifi, 31337);
    const QJsonObject singBox = buildSingBoxConfig(profile, QStringLiteral("203.0.113.5"), kWifi,
                                                   31336, 31337, true, {}, {}, false);
    const QJsonObject inbound = xray[QLatin1String("inbounds")][0].toObject();
    const QJsonObject vpnOut = singBox[QLatin1String("outbounds")][0].toObject();
    QCOMPARE(vpnOut[QLatin1String("server")], inbound[QLatin1String("listen")]);
    QCOMPARE(vpnOut[QLatin1String("server_port")], inbound[QLatin1String("port")]);
    QCOMPARE(vpnOut[QLatin1String("server_port")].toInt(), 31337);
}

ORVIK_TEST_MAIN(TestXrayConfig, QCoreApplication)
#include "tst_xrayconfig.moc"
