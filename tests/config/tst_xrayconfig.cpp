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
};

void TestXrayConfig::document_data()
{
    // clang-format off
    QTest::addColumn<ServerProfile>("profile");
    QTest::addColumn<PhysicalAdapter>("adapter");
    QTest::addColumn<QByteArray>("changes");

    const QByteArray flowUser = R"("settings": {"vnext": [{"address": "203.0.113.5", "port": 443, "users": [{"id": "0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e", "encryption": "none", "flow": "xtls-rprx-vision"}]}]})";
    const QByteArray tls = R"("tlsSettings": {"serverName": "www.example.org", "fingerprint": "chrome", "allowInsecure": false})";
    const QByteArray tlsH2 = R"("tlsSettings": {"serverName": "www.example.org", "fingerprint": "chrome", "allowInsecure": false, "alpn": ["h2"]})";
    const QByteArray reality = R"("realitySettings": {"serverName": "www.example.org", "fingerprint": "chrome", "publicKey": "SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc", "shortId": "6ba85179e30d4fc2"})";
    const QByteArray grpc = R"("grpcSettings": {"serviceName": "tunnel", "authority": "grpc.example.org", "multiMode": )";
    const QByteArray wifi = R"("sockopt": {"interface": "Wi-Fi"})";
    const QByteArray trojanTls = R"("streamSettings": {"network": "raw", "security": "tls", "tlsSettings": {"serverName": "tr.example.com", "fingerprint": "chrome", "allowInsecure": false})";
    const QByteArray fragment = R"("finalmask": {"tcp": [{"type": "fragment", "settings": {"packets": "tlshello", "lengths": ["100-200"], "delays": ["10-20"])";

    ServerProfile braced = vless(ProfileKind::VlessTcp, QStringLiteral("tls"));
    braced.credential = QStringLiteral("{0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e}");
    ServerProfile firefox = vless(ProfileKind::VlessTcp, QStringLiteral("reality"));
    firefox.fingerprint = QStringLiteral("firefox");
    firefox.shortId.clear();
    ServerProfile ws = vless(ProfileKind::VlessWebSocket, QStringLiteral("tls"));
    ws.path = QStringLiteral("/ws?ed=2048");
    ws.hostHeader = QStringLiteral("cdn.example.org");
    ws.xhttpMode = QStringLiteral("auto");
    ServerProfile xhttp = vless(ProfileKind::VlessXhttp, QStringLiteral("reality"));
    xhttp.path = QStringLiteral("/x");
    xhttp.hostHeader = QStringLiteral("www.example.org");
    xhttp.xhttpMode = QStringLiteral("stream-one");
    const PhysicalAdapter noName{QString(), QStringLiteral("192.168.1.10"), QStringLiteral("192.168.1.1")};
    const PhysicalAdapter noAddress{QStringLiteral("Wi-Fi"), QString(), QStringLiteral("192.168.1.1")};
    const QByteArray unbound = R"({"sendThrough": null, )" + trojanTls + "}}";

    QTest::newRow("VLESS user id in braces reaches Xray bare") << braced << kWifi << R"({"streamSettings": {"network": "raw", "security": "tls", )" + tls + ", " + wifi + "}}";
    QTest::newRow("VLESS TCP REALITY with flow") << withFlow(vless(ProfileKind::VlessTcp, QStringLiteral("reality"))) << kWifi << "{" + flowUser + R"(, "streamSettings": {"network": "raw", "security": "reality", )" + reality + ", " + wifi + "}}";
    QTest::newRow("VLESS TCP REALITY: own fingerprint, empty short id") << firefox << kWifi << QByteArray(R"({"streamSettings": {"network": "raw", "security": "reality", "realitySettings": {"serverName": "www.example.org", "fingerprint": "firefox", "publicKey": "SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc", "shortId": ""}, )") + wifi + "}}";
    QTest::newRow("VLESS TCP TLS with flow") << withFlow(vless(ProfileKind::VlessTcp, QStringLiteral("tls"))) << kWifi << "{" + flowUser + R"(, "streamSettings": {"network": "raw", "security": "tls", )" + tls + ", " + wifi + "}}";
    QTest::newRow("VLESS gRPC TLS: alpn h2") << withGrpc(vless(ProfileKind::VlessGrpc, QStringLiteral("tls")), true) << kWifi << R"({"streamSettings": {"network": "grpc", "security": "tls", )" + tlsH2 + ", " + grpc + "true}, " + wifi + "}}";
    QTest::newRow("VLESS gRPC REALITY: no alpn") << withGrpc(vless(ProfileKind::VlessGrpc, QStringLiteral("reality")), false) << kWifi << R"({"streamSettings": {"network": "grpc", "security": "reality", )" + reality + ", " + grpc + "false}, " + wifi + "}}";
    QTest::newRow("VLESS WebSocket") << ws << kWifi << R"({"streamSettings": {"network": "ws", "security": "tls", )" + tls + R"(, "wsSettings": {"path": "/ws?ed=2048", "headers": {"Host": "cdn.example.org"}}, )" + wifi + "}}";
    QTest::newRow("VLESS XHTTP REALITY") << xhttp << kWifi << R"({"streamSettings": {"network": "xhttp", "security": "reality", )" + reality + R"(, "xhttpSettings": {"path": "/x", "host": "www.example.org", "mode": "stream-one"}, )" + wifi + "}}";
    QTest::newRow("Trojan TCP: servers, not vnext") << trojan(ProfileKind::TrojanTcp) << kWifi << "{" + trojanTls + ", " + wifi + "}}";
    QTest::newRow("Trojan gRPC") << withGrpc(trojan(ProfileKind::TrojanGrpc), false) << kWifi << QByteArray(R"({"streamSettings": {"network": "grpc", "security": "tls", "tlsSettings": {"serverName": "tr.example.com", "fingerprint": "chrome", "allowInsecure": false, "alpn": ["h2"]}, )") + grpc + "false}, " + wifi + "}}";
    QTest::newRow("fragment with three items: no maxSplit") << withFragment(trojan(ProfileKind::TrojanTcp), QString()) << kWifi << "{" + trojanTls + ", " + wifi + ", " + fragment + "}}]}}}";
    QTest::newRow("fragment with four items: maxSplit as text") << withFragment(trojan(ProfileKind::TrojanTcp), QStringLiteral("5")) << kWifi << "{" + trojanTls + ", " + wifi + ", " + fragment + R"(, "maxSplit": "5"}}]}}})";
    QTest::newRow("adapter without name: neither sendThrough nor sockopt") << trojan(ProfileKind::TrojanTcp) << noName << unbound;
    QTest::newRow("adapter without address: neither sendThrough nor sockopt") << trojan(ProfileKind::TrojanTcp) << noAddress << unbound;
    // clang-format on
}

void TestXrayConfig::document()
{
    QFETCH(ServerProfile, profile);
    QFETCH(PhysicalAdapter, adapter);
    QFETCH(QByteArray, changes);

    COMPARE_JSON(buildXrayConfig(profile, QStringLiteral("203.0.113.5"), adapter, 20002),
                 expectedDocument(profile, changes));
}

ORVIK_TEST_MAIN(TestXrayConfig, QCoreApplication)
#include "tst_xrayconfig.moc"
