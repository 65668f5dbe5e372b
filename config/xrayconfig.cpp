#include "config/xrayconfig.h"

#include <QJsonArray>

namespace {

bool isGrpc(ProfileKind kind)
{
    return kind == ProfileKind::VlessGrpc || kind == ProfileKind::TrojanGrpc;
}

bool isTrojan(ProfileKind kind)
{
    return kind == ProfileKind::TrojanTcp || kind == ProfileKind::TrojanGrpc;
}

// Subscriptions may write the user id in braces; Xray takes only the bare 36-character form.
QString xrayUserId(const QString& credential)
{
    if (credential.size() == 38 && credential.startsWith(QLatin1Char('{')) &&
        credential.endsWith(QLatin1Char('}')))
        return credential.mid(1, 36);
    return credential;
}

QJsonObject securitySettings(const ServerProfile& profile)
{
    // Profiles without "fp" still present a browser fingerprint.
    QJsonObject settings{
        {QStringLiteral("serverName"), profile.sni},
        {QStringLiteral("fingerprint"),
         profile.fingerprint.isEmpty() ? QStringLiteral("chrome") : profile.fingerprint},
    };
    if (profile.security == QLatin1String("reality")) {
        settings.insert(QStringLiteral("publicKey"), profile.publicKey);
        settings.insert(QStringLiteral("shortId"), profile.shortId);
        return settings;
    }
    settings.insert(QStringLiteral("allowInsecure"), false);
    if (isGrpc(profile.kind) && profile.security == QLatin1String("tls"))
        settings.insert(QStringLiteral("alpn"), QJsonArray{QStringLiteral("h2")});
    return settings;
}

QJsonObject streamSettings(const ServerProfile& profile, const PhysicalAdapter& adapter)
{
    QJsonObject stream{
        {QStringLiteral("network"), QStringLiteral("raw")},
        {QStringLiteral("security"), profile.security},
    };
    stream.insert(profile.security == QLatin1String("reality") ? QStringLiteral("realitySettings")
                                                               : QStringLiteral("tlsSettings"),
                  securitySettings(profile));

    switch (profile.kind) {
    case ProfileKind::VlessGrpc:
    case ProfileKind::TrojanGrpc:
        stream.insert(QStringLiteral("network"), QStringLiteral("grpc"));
        stream.insert(QStringLiteral("grpcSettings"),
                      QJsonObject{{QStringLiteral("serviceName"), profile.serviceName},
                                  {QStringLiteral("authority"), profile.authority},
                                  {QStringLiteral("multiMode"), profile.grpcMultiMode}});
        break;
    case ProfileKind::VlessWebSocket:
        stream.insert(QStringLiteral("network"), QStringLiteral("ws"));
        stream.insert(QStringLiteral("wsSettings"),
                      QJsonObject{{QStringLiteral("path"), profile.path},
                                  {QStringLiteral("headers"),
                                   QJsonObject{{QStringLiteral("Host"), profile.hostHeader}}}});
        break;
    case ProfileKind::VlessXhttp:
        stream.insert(QStringLiteral("network"), QStringLiteral("xhttp"));
        stream.insert(QStringLiteral("xhttpSettings"),
                      QJsonObject{{QStringLiteral("path"), profile.path},
                                  {QStringLiteral("host"), profile.hostHeader},
                                  {QStringLiteral("mode"), profile.xhttpMode}});
        break;
    case ProfileKind::VlessTcp:
    case ProfileKind::TrojanTcp:
    case ProfileKind::Hysteria2:
        break;
    }

    // The server connection must leave through the physical adapter, outside sing-box's TUN.
    if (adapter.isUsable()) {
        stream.insert(QStringLiteral("sockopt"),
                      QJsonObject{{QStringLiteral("interface"), adapter.interfaceName}});
    }

    if (!profile.fragmentLengths.isEmpty()) {
        // Range texts stay strings: Xray reads "100-200" itself.
        QJsonObject fragment{
            {QStringLiteral("packets"), profile.fragmentPackets},
            {QStringLiteral("lengths"), QJsonArray{profile.fragmentLengths}},
            {QStringLiteral("delays"), QJsonArray{profile.fragmentDelays}},
        };
        if (!profile.fragmentMaxSplit.isEmpty())
            fragment.insert(QStringLiteral("maxSplit"), profile.fragmentMaxSplit);
        stream.insert(QStringLiteral("finalmask"),
                      QJsonObject{{QStringLiteral("tcp"),
                                   QJsonArray{QJsonObject{
                                       {QStringLiteral("type"), QStringLiteral("fragment")},
                                       {QStringLiteral("settings"), fragment}}}}});
    }
    return stream;
}

QJsonObject outboundSettings(const ServerProfile& profile, const QString& serverAddress)
{
    if (isTrojan(profile.kind)) {
        return {{QStringLiteral("servers"),
                 QJsonArray{QJsonObject{{QStringLiteral("address"), serverAddress},
                                        {QStringLiteral("port"), profile.port},
                                        {QStringLiteral("password"), profile.credential}}}}};
    }
    QJsonObject user{
        {QStringLiteral("id"), xrayUserId(profile.credential)},
        {QStringLiteral("encryption"), QStringLiteral("none")},
    };
    if (!profile.flow.isEmpty())
        user.insert(QStringLiteral("flow"), profile.flow);
    return {{QStringLiteral("vnext"),
             QJsonArray{QJsonObject{{QStringLiteral("address"), serverAddress},
                                    {QStringLiteral("port"), profile.port},
                                    {QStringLiteral("users"), QJsonArray{user}}}}}};
}

} // namespace

QJsonObject buildXrayConfig(const ServerProfile& profile, const QString& serverAddress,
                            const PhysicalAdapter& adapter, quint16 xrayPort)
{
    QJsonObject outbound{
        {QStringLiteral("tag"), QStringLiteral("vpn")},
        {QStringLiteral("protocol"),
         isTrojan(profile.kind) ? QStringLiteral("trojan") : QStringLiteral("vless")},
        {QStringLiteral("settings"), outboundSettings(profile, serverAddress)},
        {QStringLiteral("streamSettings"), streamSettings(profile, adapter)},
    };
    if (adapter.isUsable())
        outbound.insert(QStringLiteral("sendThrough"), adapter.ipv4Address);

    const QJsonObject inbound{
        {QStringLiteral("tag"), QStringLiteral("local-socks")},
        {QStringLiteral("listen"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("port"), int(xrayPort)},
        {QStringLiteral("protocol"), QStringLiteral("socks")},
        {QStringLiteral("settings"),
         QJsonObject{{QStringLiteral("auth"), QStringLiteral("noauth")},
                     {QStringLiteral("udp"), true},
                     {QStringLiteral("ip"), QStringLiteral("127.0.0.1")}}},
    };
    return {
        {QStringLiteral("log"), QJsonObject{{QStringLiteral("loglevel"), QStringLiteral("warning")},
                                            {QStringLiteral("access"), QStringLiteral("none")}}},
        {QStringLiteral("inbounds"), QJsonArray{inbound}},
        {QStringLiteral("outbounds"), QJsonArray{outbound}},
    };
}
