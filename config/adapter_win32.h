#pragma once

#include <string>
#include <vector>

// The IPv4 adapters as IP Helper lists them, free of Qt so the query runs under wine.
namespace win32 {

struct AdapterRecord
{
    enum class Medium { Ethernet, Wireless, Other }; // as AdapterCandidate's

    std::wstring friendlyName;
    Medium medium = Medium::Other;
    bool up = false;
    std::vector<std::string> ipv4Addresses; // dotted, in the order the system lists them
    std::vector<std::string> gateways;      // dotted; empty text for a gateway that is not IPv4
    unsigned long metric = 0;               // the IPv4 interface metric
    bool hardware = false;                  // false too when the interface row cannot be read
};

// Every adapter in system order; empty when the system query fails.
std::vector<AdapterRecord> listIpv4Adapters();

// The records of an adapter list as GetAdaptersAddresses returns it (the first
// IP_ADAPTER_ADDRESSES, or null), `isHardware` answering for an interface's NET_LUID.
std::vector<AdapterRecord> adapterRecords(const void* firstAdapter,
                                          bool (*isHardware)(const void* luid));

} // namespace win32
