#include "config/adapterchoice.h"

#include "config/adapter_win32.h"

using Medium = AdapterCandidate::Medium;
using RecordMedium = win32::AdapterRecord::Medium;
static_assert(int(Medium::Ethernet) == int(RecordMedium::Ethernet) &&
              int(Medium::Wireless) == int(RecordMedium::Wireless) &&
              int(Medium::Other) == int(RecordMedium::Other));

namespace {

QStringList texts(const std::vector<std::string>& values)
{
    QStringList list;
    for (const std::string& value : values)
        list.append(QString::fromStdString(value));
    return list;
}

} // namespace

QList<AdapterCandidate> enumerateAdapterCandidates()
{
    QList<AdapterCandidate> candidates;
    for (const win32::AdapterRecord& record : win32::listIpv4Adapters())
        candidates.append({QString::fromStdWString(record.friendlyName), Medium(record.medium),
                           record.up, texts(record.ipv4Addresses), texts(record.gateways),
                           quint32(record.metric), record.hardware});
    return candidates;
}
