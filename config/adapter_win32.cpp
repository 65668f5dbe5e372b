#include "config/adapter_win32.h"

// winsock2.h must come before windows.h, or the IP Helper headers clash with winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <iphlpapi.h>
#include <netioapi.h>

#include <cstdio>

namespace win32 {

namespace {

constexpr ULONG kInitialBufferSize = 16384;

// Dotted text of an IPv4 address given in host byte order.
std::string ipv4Text(unsigned long hostOrderAddress)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%lu.%lu.%lu.%lu", (hostOrderAddress >> 24) & 0xFF,
                  (hostOrderAddress >> 16) & 0xFF, (hostOrderAddress >> 8) & 0xFF,
                  hostOrderAddress & 0xFF);
    return text;
}

// Text of an IPv4 socket address, or empty for any other family.
std::string socketAddressText(const SOCKET_ADDRESS& address)
{
    if (!address.lpSockaddr || address.lpSockaddr->sa_family != AF_INET)
        return {};
    const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address.lpSockaddr);
    return ipv4Text(ntohl(ipv4->sin_addr.s_addr));
}

bool isHardwareInterface(const void* luid)
{
    MIB_IF_ROW2 row{};
    row.InterfaceLuid = *static_cast<const NET_LUID*>(luid);
    if (GetIfEntry2(&row) != NO_ERROR)
        return false;
    return row.InterfaceAndOperStatusFlags.HardwareInterface != 0;
}

AdapterRecord::Medium mediumOf(IFTYPE type)
{
    switch (type) {
    case IF_TYPE_ETHERNET_CSMACD:
        return AdapterRecord::Medium::Ethernet;
    case IF_TYPE_IEEE80211:
        return AdapterRecord::Medium::Wireless;
    default:
        return AdapterRecord::Medium::Other;
    }
}

} // namespace

std::vector<AdapterRecord> listIpv4Adapters()
{
    const ULONG flags = GAA_FLAG_INCLUDE_GATEWAYS;
    ULONG size = kInitialBufferSize;
    std::vector<unsigned char> buffer(size);
    ULONG status = GetAdaptersAddresses(
        AF_INET, flags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    if (status == ERROR_BUFFER_OVERFLOW) {
        // One retry with the size the system asked for; a list that grows again meanwhile
        // is read on the next query.
        buffer.resize(size);
        status = GetAdaptersAddresses(
            AF_INET, flags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (status != NO_ERROR)
        return {};
    return adapterRecords(buffer.data(), isHardwareInterface);
}

std::vector<AdapterRecord> adapterRecords(const void* firstAdapter,
                                          bool (*isHardware)(const void* luid))
{
    std::vector<AdapterRecord> records;
    for (auto* adapter = static_cast<const IP_ADAPTER_ADDRESSES*>(firstAdapter); adapter;
         adapter = adapter->Next) {
        AdapterRecord record;
        if (adapter->FriendlyName)
            record.friendlyName = adapter->FriendlyName;
        record.medium = mediumOf(adapter->IfType);
        record.up = adapter->OperStatus == IfOperStatusUp;
        for (auto* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            if (unicast->Address.lpSockaddr && unicast->Address.lpSockaddr->sa_family == AF_INET)
                record.ipv4Addresses.push_back(socketAddressText(unicast->Address));
        }
        for (auto* gateway = adapter->FirstGatewayAddress; gateway; gateway = gateway->Next)
            record.gateways.push_back(socketAddressText(gateway->Address));
        record.metric = adapter->Ipv4Metric;
        record.hardware = isHardware(&adapter->Luid);
        records.push_back(std::move(record));
    }
    return records;
}

} // namespace win32
