#include "config/adapter_linux.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <limits>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

namespace linuxnet {

namespace {

constexpr int kArphrdEther = 1;   // Ethernet and Wi-Fi alike
constexpr uint kRouteUp = 0x0001; // RTF_UP

QString readTrimmed(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).trimmed();
}

// The kernel prints the network-order word as one native integer in hex; empty when malformed.
QString routeAddressText(const QString& hex)
{
    bool ok = false;
    const quint32 word = hex.toUInt(&ok, 16);
    if (!ok || hex.size() != 8)
        return {};
    unsigned char bytes[4];
    std::memcpy(bytes, &word, sizeof(bytes));
    return QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
}

} // namespace

QList<DefaultRoute> parseDefaultRoutes(const QString& procNetRoute)
{
    QList<DefaultRoute> routes;
    const QStringList lines = procNetRoute.split(QLatin1Char('\n'));
    // Columns: Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT.
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList fields = lines.at(i).split(QLatin1Char('\t'), Qt::SkipEmptyParts);
        if (fields.size() < 8)
            continue;
        if (fields.at(1).trimmed() != QLatin1String("00000000") ||
            fields.at(7).trimmed() != QLatin1String("00000000"))
            continue;
        bool ok = false;
        const uint flags = fields.at(3).trimmed().toUInt(&ok, 16);
        if (!ok || !(flags & kRouteUp))
            continue;
        const quint32 metric = fields.at(6).trimmed().toUInt(&ok);
        if (!ok)
            continue;
        const QString gateway = routeAddressText(fields.at(2).trimmed());
        if (gateway.isEmpty())
            continue;
        routes.append({fields.at(0).trimmed(), gateway, metric});
    }
    return routes;
}

QList<AdapterCandidate> interfaceCandidates(const QString& sysfsNetRoot,
                                            const QList<DefaultRoute>& defaultRoutes,
                                            const QHash<QString, QStringList>& ipv4ByInterface)
{
    struct Indexed
    {
        int index;
        AdapterCandidate candidate;
    };
    QList<Indexed> found;
    const QDir root(sysfsNetRoot);
    for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString folder = root.filePath(name) + QLatin1Char('/');
        AdapterCandidate candidate;
        candidate.name = name;
        candidate.up = readTrimmed(folder + QLatin1String("operstate")) == QLatin1String("up");
        if (readTrimmed(folder + QLatin1String("type")).toInt() == kArphrdEther) {
            const bool wireless = QFileInfo::exists(folder + QLatin1String("wireless")) ||
                                  QFileInfo::exists(folder + QLatin1String("phy80211"));
            candidate.medium =
                wireless ? AdapterCandidate::Medium::Wireless : AdapterCandidate::Medium::Ethernet;
        }
        candidate.hardware = QFileInfo::exists(folder + QLatin1String("device"));
        candidate.ipv4Addresses = ipv4ByInterface.value(name);

        QList<DefaultRoute> routes;
        for (const DefaultRoute& route : defaultRoutes) {
            if (route.interfaceName == name)
                routes.append(route);
        }
        // The kernel prefers the lowest metric; that route's gateway is the one in use.
        std::stable_sort(
            routes.begin(), routes.end(),
            [](const DefaultRoute& a, const DefaultRoute& b) { return a.metric < b.metric; });
        for (const DefaultRoute& route : routes)
            candidate.gateways.append(route.gateway);
        if (!routes.isEmpty())
            candidate.metric = routes.first().metric;

        bool ok = false;
        const int index = readTrimmed(folder + QLatin1String("ifindex")).toInt(&ok);
        found.append({ok ? index : std::numeric_limits<int>::max(), candidate});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Indexed& a, const Indexed& b) { return a.index < b.index; });

    QList<AdapterCandidate> candidates;
    candidates.reserve(found.size());
    for (const Indexed& entry : found)
        candidates.append(entry.candidate);
    return candidates;
}

QHash<QString, QStringList> systemIpv4Addresses()
{
    QHash<QString, QStringList> addresses;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return addresses;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !entry->ifa_name)
            continue;
        const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        char text[INET_ADDRSTRLEN] = {};
        if (!inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof(text)))
            continue;
        // A labelled address ("eth0:1") belongs to the interface before the colon.
        const QString label = QString::fromLocal8Bit(entry->ifa_name);
        addresses[label.section(QLatin1Char(':'), 0, 0)].append(QString::fromLatin1(text));
    }
    freeifaddrs(list);
    return addresses;
}

} // namespace linuxnet

QList<AdapterCandidate> enumerateAdapterCandidates()
{
    QFile routes(QStringLiteral("/proc/net/route"));
    const QString routeText =
        routes.open(QIODevice::ReadOnly) ? QString::fromLatin1(routes.readAll()) : QString();
    return linuxnet::interfaceCandidates(QStringLiteral("/sys/class/net"),
                                         linuxnet::parseDefaultRoutes(routeText),
                                         linuxnet::systemIpv4Addresses());
}
