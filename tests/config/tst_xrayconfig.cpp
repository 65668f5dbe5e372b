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

// A VLESS profile of vpn.example.com:443 and a Trojan TLS profile of tr.example.com:8443, with
// the given parameters.
ServerProfile vless(const char* query)
{
    return testenv::parsedProfile(
        QStringLiteral("vless://0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e@vpn.example.com:443?") +
        QLatin1String(query));
}

ServerProfile trojan(const char* query = "")
{
    return testenv::parsedProfile(
        QStringLiteral(
            "trojan://trojan-password@tr.example.com:8443?security=tls&sni=tr.example.com") +
        QLatin1String(query));
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
    QTest::addColumn<ServerProfile>("profile");
    QTest::addColumn<PhysicalAdapter>("adapter");
    QTest::addColumn<QByteArray>("changes");

    // clang-format off
    const QByteArray flowUser = R"("settings": {"vnext": [{"address": "203.0.113.5", "port": 443, "users": [{"id": "0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e", "encryption": "none", "flow": "xtls-rprx-vision"}]}]})";
    const QByteArray tls = R"("tlsSettings": {"serverName": "www.example.org", "fingerprint": "chrome", "allowInsecure": false})";
    const QByteArray tlsH2 = R"("tlsSettings": {"serverName": "www.example.org", "fingerprint": "chrome", "allowInsecure": false, "alpn": ["h2"]})";
    const QByteArray reality = R"("realitySettings": {"serverName": "www.example.org", "fingerprint": "chrome", "publicKey": "SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc", "shortId": "6ba85179e30d4fc2"})";
    const QByteArray grpc = R"("grpcSettings": {"serviceName": "tunnel", "authority": "grpc.example.org", "multiMode": )";
    const QByteArray wifi = R"("sockopt": {"interface": "Wi-Fi"})";
    const QByteArray trojanTls = R"("streamSettings": {"network": "raw", "security": "tls", "tlsSettings": {"serverName": "tr.example.com", "fingerprint": "chrome", "allowInsecure": false})";
    const QByteArray fragment = R"("finalmask": {"tcp": [{"type": "fragment", "settings": {"packets": "tlshello", "lengths": ["100-200"], "delays": ["10-20"])";

    ServerProfile braced = vless("security=tls&sni=www.example.org");
    braced.credential = QStringLiteral("{0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e}");
    const PhysicalAdapter noName{QString(), QStringLiteral("192.168.1.10"), QStringLiteral("192.168.1.1")};
    const PhysicalAdapter noAddress{QStringLiteral("Wi-Fi"), QString(), QStringLiteral("192.168.1.1")};
    const QByteArray unbound = R"({"sendThrough": null, )" + trojanTls + "}}";

    QTest::newRow("VLESS user id in braces reaches Xray bare") << braced << kWifi << R"({"streamSettings": {"network": "raw", "security": "tls", )" + tls + ", " + wifi + "}}";
    QTest::newRow("VLESS TCP REALITY with flow") << vless("security=reality&sni=www.example.org&pbk=SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc&sid=6ba85179e30d4fc2&flow=xtls-rprx-vision") << kWifi << "{" + flowUser + R"(, "streamSettings": {"network": "raw", "security": "reality", )" + reality + ", " + wifi + "}}";
    QTest::newRow("VLESS TCP REALITY: own fingerprint, empty short id") << vless("security=reality&sni=www.example.org&pbk=SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc&fp=firefox") << kWifi << QByteArray(R"({"streamSettings": {"network": "raw", "security": "reality", "realitySettings": {"serverName": "www.example.org", "fingerprint": "firefox", "publicKey": "SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc", "shortId": ""}, )") + wifi + "}}";
    QTest::newRow("VLESS TCP TLS with flow") << vless("security=tls&sni=www.example.org&flow=xtls-rprx-vision") << kWifi << "{" + flowUser + R"(, "streamSettings": {"network": "raw", "security": "tls", )" + tls + ", " + wifi + "}}";
    QTest::newRow("VLESS gRPC TLS: alpn h2") << vless("security=tls&sni=www.example.org&type=grpc&serviceName=tunnel&authority=grpc.example.org&mode=multi") << kWifi << R"({"streamSettings": {"network": "grpc", "security": "tls", )" + tlsH2 + ", " + grpc + "true}, " + wifi + "}}";
    QTest::newRow("VLESS gRPC REALITY: no alpn") << vless("security=reality&sni=www.example.org&pbk=SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc&sid=6ba85179e30d4fc2&type=grpc&serviceName=tunnel&authority=grpc.example.org") << kWifi << R"({"streamSettings": {"network": "grpc", "security": "reality", )" + reality + ", " + grpc + "false}, " + wifi + "}}";
    QTest::newRow("VLESS WebSocket") << vless("security=tls&sni=www.example.org&type=ws&path=%2Fws%3Fed%3D2048&host=cdn.example.org") << kWifi << R"({"streamSettings": {"network": "ws", "security": "tls", )" + tls + R"(, "wsSettings": {"path": "/ws?ed=2048", "headers": {"Host": "cdn.example.org"}}, )" + wifi + "}}";
    QTest::newRow("VLESS XHTTP REALITY") << vless("security=reality&sni=www.example.org&pbk=SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc&sid=6ba85179e30d4fc2&type=xhttp&path=/x&host=www.example.org&mode=stream-one") << kWifi << R"({"streamSettings": {"network": "xhttp", "security": "reality", )" + reality + R"(, "xhttpSettings": {"path": "/x", "host": "www.example.org", "mode": "stream-one"}, )" + wifi + "}}";
    QTest::newRow("Trojan TCP: servers, not vnext") << trojan() << kWifi << "{" + trojanTls + ", " + wifi + "}}";
    QTest::newRow("Trojan gRPC") << trojan("&type=grpc&serviceName=tunnel&authority=grpc.example.org") << kWifi << QByteArray(R"({"streamSettings": {"network": "grpc", "security": "tls", "tlsSettings": {"serverName": "tr.example.com", "fingerprint": "chrome", "allowInsecure": false, "alpn": ["h2"]}, )") + grpc + "false}, " + wifi + "}}";
    QTest::newRow("fragment with three items: no maxSplit") << trojan("&fragment=100-200,10-20,tlshello") << kWifi << "{" + trojanTls + ", " + wifi + ", " + fragment + "}}]}}}";
    QTest::newRow("fragment with four items: maxSplit as text") << trojan("&fragment=100-200,10-20,tlshello,5") << kWifi << "{" + trojanTls + ", " + wifi + ", " + fragment + R"(, "maxSplit": "5"}}]}}})";
    QTest::newRow("adapter without name: neither sendThrough nor sockopt") << trojan() << noName << unbound;
    QTest::newRow("adapter without address: neither sendThrough nor sockopt") << trojan() << noAddress << unbound;
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
