#include "config/adapterchoice.h"

#include "config/adapter_win32.h"

QList<AdapterCandidate> enumerateAdapterCandidates()
{
    QList<AdapterCandidate> candidates;
    for (const win32::AdapterRecord& record : win32::listIpv4Adapters()) {
        AdapterCandidate candidate;
        candidate.name = QString::fromStdWString(record.friendlyName);
        switch (record.medium) {
        case win32::AdapterRecord::Medium::Ethernet:
            candidate.medium = AdapterCandidate::Medium::Ethernet;
            break;
        case win32::AdapterRecord::Medium::Wireless:
            candidate.medium = AdapterCandidate::Medium::Wireless;
            break;
        case win32::AdapterRecord::Medium::Other:
            candidate.medium = AdapterCandidate::Medium::Other;
            break;
        }
        candidate.up = record.up;
        for (const std::string& address : record.ipv4Addresses)
            candidate.ipv4Addresses.append(QString::fromStdString(address));
        for (const std::string& gateway : record.gateways)
            candidate.gateways.append(QString::fromStdString(gateway));
        candidate.metric = quint32(record.metric);
        candidate.hardware = record.hardware;
        candidates.append(candidate);
    }
    return candidates;
}
