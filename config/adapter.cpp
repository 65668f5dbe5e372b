#include "config/adapter.h"
#include "config/adapterchoice.h"
#include "config/adaptersource.h"

#include <limits>

namespace {

std::function<PhysicalAdapter()>& adapterSource()
{
    static std::function<PhysicalAdapter()> source;
    return source;
}

// A virtual adapter of the right type (a VPN's, a hypervisor's) only wins over a physical one
// when its configured metric is lower by this much or more.
constexpr quint64 kNonHardwarePenalty = 100000;

QString firstUsableAddress(const QStringList& addresses)
{
    for (const QString& address : addresses) {
        if (address.startsWith(QLatin1String("169.254.")) ||
            address.startsWith(QLatin1String("127.")) || address == QLatin1String("0.0.0.0"))
            continue;
        return address;
    }
    return {};
}

} // namespace

void setAdapterSource(std::function<PhysicalAdapter()> source)
{
    adapterSource() = std::move(source);
}

PhysicalAdapter selectPhysicalAdapter()
{
    if (const auto& source = adapterSource())
        return source();
    return queryPhysicalAdapter();
}

PhysicalAdapter queryPhysicalAdapter()
{
    return choosePhysicalAdapter(enumerateAdapterCandidates());
}

PhysicalAdapter choosePhysicalAdapter(const QList<AdapterCandidate>& candidates)
{
    PhysicalAdapter result;
    quint64 bestMetric = std::numeric_limits<quint64>::max();
    for (const AdapterCandidate& candidate : candidates) {
        if (!candidate.up || candidate.gateways.isEmpty())
            continue;
        if (candidate.medium != AdapterCandidate::Medium::Ethernet &&
            candidate.medium != AdapterCandidate::Medium::Wireless)
            continue;
        const QString address = firstUsableAddress(candidate.ipv4Addresses);
        const QString& gateway = candidate.gateways.first();
        if (address.isEmpty() || gateway.isEmpty() || gateway == QLatin1String("0.0.0.0"))
            continue;
        const quint64 metric =
            quint64(candidate.metric) + (candidate.hardware ? 0 : kNonHardwarePenalty);
        // Strictly lower: on a tie the adapter listed first stays.
        if (metric < bestMetric) {
            bestMetric = metric;
            result = {candidate.name, address, gateway};
        }
    }
    return result;
}
