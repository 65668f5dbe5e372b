#include "config/singboxconfig.h"

namespace {

// The certificate served at 1.1.1.1 names cloudflare-dns.com (as well as
// one.one.one.one); the DNS-over-HTTPS endpoint is documented under that name.
const QString kProxyDnsTlsName = QStringLiteral("cloudflare-dns.com");
const QString kProxyDnsAddress = QStringLiteral("1.1.1.1");

QJsonObject tunnelOutbound(const ServerProfile& profile, const QString& serverAddress,
                           const PhysicalAdapter& adapter, quint16 xrayPort)
{
    if (profile.kind != ProfileKind::Hysteria2) {
        // VLESS and Trojan travel on into the local Xray core, which binds to the adapter.
        return {
            {QStringLiteral("type"), QStringLiteral("socks")},
            {QStringLiteral("tag"), QStringLiteral("vpn-out")},
            {QStringLiteral("server"), QStringLiteral("127.0.0.1")},
            {QStringLiteral("server_port"), int(xrayPort)},
            {QStringLiteral("version"), QStringLiteral("5")},
        };
    }
    QJsonObject outbound{
        {QStringLiteral("type"), QStringLiteral("hysteria2")},
        {QStringLiteral("tag"), QStringLiteral("vpn-out")},
        {QStringLiteral("server"), serverAddress},
        {QStringLiteral("server_port"), profile.port},
        {QStringLiteral("password"), profile.credential},
        {QStringLiteral("tls"), QJsonObject{{QStringLiteral("enabled"), true},
                                            {QStringLiteral("server_name"), profile.sni}}},
    };
    if (!profile.obfsPassword.isEmpty()) {
        outbound.insert(QStringLiteral("obfs"),
                        QJsonObject{{QStringLiteral("type"), QStringLiteral("salamander")},
                                    {QStringLiteral("password"), profile.obfsPassword}});
    }
    applyDirectBinding(outbound, adapter);
    return outbound;
}

QJsonObject tunInbound(const QString& serverAddress)
{
    return {
        {QStringLiteral("type"), QStringLiteral("tun")},
        {QStringLiteral("tag"), QStringLiteral("tun-in")},
        {QStringLiteral("interface_name"), QStringLiteral("OrvikVPN")},
        {QStringLiteral("address"),
         QJsonArray{QStringLiteral("172.19.0.1/30"), QStringLiteral("fdfe:dcba:9876::1/126")}},
        {QStringLiteral("mtu"), 1400},
        {QStringLiteral("auto_route"), true},
        {QStringLiteral("strict_route"), true},
        {QStringLiteral("stack"), QStringLiteral("mixed")},
        // The server's own address comes first so the tunnel's connection never loops back.
        {QStringLiteral("route_exclude_address"),
         QJsonArray{serverAddress + QStringLiteral("/32"), QStringLiteral("10.0.0.0/8"),
                    QStringLiteral("172.16.0.0/12"), QStringLiteral("192.168.0.0/16"),
                    QStringLiteral("fe80::/10"), QStringLiteral("fc00::/7")}},
    };
}

QJsonObject inboundRule(const QString& inbound)
{
    return {{QStringLiteral("inbound"), QJsonArray{inbound}}};
}

} // namespace

QJsonObject buildSingBoxConfig(const ServerProfile& profile, const QString& serverAddress,
                               const PhysicalAdapter& adapter, quint16 checkPort, quint16 xrayPort,
                               bool tunMode, const QStringList& bypassDomains,
                               const QStringList& appProcesses, bool includeMode)
{
    const QJsonObject vpnOut = tunnelOutbound(profile, serverAddress, adapter, xrayPort);

    QJsonObject directOut{
        {QStringLiteral("type"), QStringLiteral("direct")},
        {QStringLiteral("tag"), QStringLiteral("direct-out")},
    };
    applyDirectBinding(directOut, adapter);

    QJsonArray inbounds{QJsonObject{
        {QStringLiteral("type"), QStringLiteral("socks")},
        {QStringLiteral("tag"), QStringLiteral("check-in")},
        {QStringLiteral("listen"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("listen_port"), int(checkPort)},
    }};
    if (tunMode)
        inbounds.append(tunInbound(serverAddress));

    QStringList suffixes;
    suffixes.reserve(bypassDomains.size());
    for (const QString& domain : bypassDomains)
        suffixes.append(QLatin1Char('.') + domain);

    // The TUN rules stay in a latency check too; without a "tun-in" inbound they never match.
    QJsonObject checkRule = inboundRule(QStringLiteral("check-in"));
    checkRule.insert(QStringLiteral("action"), QStringLiteral("route"));
    checkRule.insert(QStringLiteral("outbound"), QStringLiteral("vpn-out"));
    QJsonObject sniffRule = inboundRule(QStringLiteral("tun-in"));
    sniffRule.insert(QStringLiteral("action"), QStringLiteral("sniff"));
    sniffRule.insert(QStringLiteral("timeout"), QStringLiteral("500ms"));
    QJsonObject dnsHijackRule = inboundRule(QStringLiteral("tun-in"));
    dnsHijackRule.insert(QStringLiteral("protocol"), QJsonArray{QStringLiteral("dns")});
    dnsHijackRule.insert(QStringLiteral("action"), QStringLiteral("hijack-dns"));
    QJsonArray routeRules{checkRule, sniffRule, dnsHijackRule};
    QJsonArray dnsRules;

    // Bypass rules come before the process rules, so bypassed sites go direct in both modes.
    if (!bypassDomains.isEmpty()) {
        const QJsonArray domains = toJsonArray(bypassDomains);
        const QJsonArray domainSuffixes = toJsonArray(suffixes);
        routeRules.append(QJsonObject{
            {QStringLiteral("domain"), domains},
            {QStringLiteral("domain_suffix"), domainSuffixes},
            {QStringLiteral("action"), QStringLiteral("route")},
            {QStringLiteral("outbound"), QStringLiteral("direct-out")},
        });
        dnsRules.append(QJsonObject{
            {QStringLiteral("domain"), domains},
            {QStringLiteral("domain_suffix"), domainSuffixes},
            {QStringLiteral("action"), QStringLiteral("route")},
            {QStringLiteral("server"), QStringLiteral("local-dns")},
        });
    }
    if (!appProcesses.isEmpty()) {
        const QJsonArray processes = toJsonArray(appProcesses);
        routeRules.append(QJsonObject{
            {QStringLiteral("process_name"), processes},
            {QStringLiteral("action"), QStringLiteral("route")},
            {QStringLiteral("outbound"),
             includeMode ? QStringLiteral("vpn-out") : QStringLiteral("direct-out")},
        });
        dnsRules.append(QJsonObject{
            {QStringLiteral("process_name"), processes},
            {QStringLiteral("action"), QStringLiteral("route")},
            {QStringLiteral("server"),
             includeMode ? QStringLiteral("proxy-dns") : QStringLiteral("local-dns")},
        });
    }

    const QJsonObject localDns{
        {QStringLiteral("type"), QStringLiteral("udp")},
        {QStringLiteral("tag"), QStringLiteral("local-dns")},
        {QStringLiteral("server"), adapter.gateway.isEmpty() ? kProxyDnsAddress : adapter.gateway},
        {QStringLiteral("server_port"), 53},
        {QStringLiteral("detour"), QStringLiteral("direct-out")},
    };
    const QJsonObject proxyDns{
        {QStringLiteral("type"), QStringLiteral("https")},
        {QStringLiteral("tag"), QStringLiteral("proxy-dns")},
        {QStringLiteral("server"), kProxyDnsAddress},
        {QStringLiteral("server_port"), 443},
        {QStringLiteral("path"), QStringLiteral("/dns-query")},
        {QStringLiteral("detour"), QStringLiteral("vpn-out")},
        {QStringLiteral("tls"), QJsonObject{{QStringLiteral("enabled"), true},
                                            {QStringLiteral("server_name"), kProxyDnsTlsName}}},
    };
    const QJsonObject dns{
        {QStringLiteral("servers"), QJsonArray{localDns, proxyDns}},
        {QStringLiteral("rules"), dnsRules},
        {QStringLiteral("final"),
         includeMode ? QStringLiteral("local-dns") : QStringLiteral("proxy-dns")},
        {QStringLiteral("strategy"), QStringLiteral("ipv4_only")},
        {QStringLiteral("reverse_mapping"), true},
    };
    const QJsonObject route{
        {QStringLiteral("rules"), routeRules},
        {QStringLiteral("final"),
         includeMode ? QStringLiteral("direct-out") : QStringLiteral("vpn-out")},
        {QStringLiteral("default_domain_resolver"), QStringLiteral("local-dns")},
    };

    return {
        {QStringLiteral("log"), QJsonObject{{QStringLiteral("level"), QStringLiteral("warn")}}},
        {QStringLiteral("dns"), dns},
        {QStringLiteral("inbounds"), inbounds},
        {QStringLiteral("outbounds"), QJsonArray{vpnOut, directOut}},
        {QStringLiteral("route"), route},
    };
}

QJsonArray toJsonArray(const QStringList& list)
{
    QJsonArray array;
    for (const QString& item : list)
        array.append(item);
    return array;
}

void applyDirectBinding(QJsonObject& outbound, const PhysicalAdapter& adapter)
{
    if (adapter.interfaceName.isEmpty() || adapter.ipv4Address.isEmpty())
        return;
    outbound.insert(QStringLiteral("bind_interface"), adapter.interfaceName);
    outbound.insert(QStringLiteral("inet4_bind_address"), adapter.ipv4Address);
}
