// winsock2.h must come before windows.h (in wintest.h).
#include <winsock2.h>

#include "config/adapter_win32.h"
#include "tests/win/wintest.h"

#include <iphlpapi.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <deque>
#include <utility>

namespace {

// Addresses linked as IP Helper links them (dotted ones IPv4, any other IPv6), kept in the deques.
template <typename Entry>
Entry* addresses(const std::vector<const char*>& texts, std::deque<Entry>& entries,
                 std::deque<sockaddr_in>& store)
{
    Entry* first = nullptr;
    for (auto text = texts.rbegin(); text != texts.rend(); ++text) { // each links the next
        sockaddr_in& address = store.emplace_back();
        address.sin_family = InetPtonA(AF_INET, *text, &address.sin_addr) == 1 ? AF_INET : AF_INET6;
        Entry& entry = entries.emplace_back();
        entry.Address = {reinterpret_cast<sockaddr*>(&address), sizeof(address)};
        entry.Next = std::exchange(first, &entry);
    }
    return first;
}

using Medium = win32::AdapterRecord::Medium;

} // namespace

// clang-format off
// Adapters as IP Helper lists them, and what their records say (a gateway that is not IPv4 keeps its place, empty).
const struct { const wchar_t* name; IFTYPE type; IF_OPER_STATUS status; std::vector<const char*> unicast, gateways; bool hardware; Medium medium; bool up; std::vector<std::string> ipv4, gatewayTexts; } kAdapters[] = {
    {L"Ethernet", IF_TYPE_ETHERNET_CSMACD, IfOperStatusUp, {"192.168.1.10", "fe80::1"}, {"192.168.1.1"}, true, Medium::Ethernet, true, {"192.168.1.10"}, {"192.168.1.1"}},
    {L"Wi-Fi", IF_TYPE_IEEE80211, IfOperStatusDormant, {"10.0.0.255", "255.255.255.255"}, {"fe80::1", "0.0.0.0"}, true, Medium::Wireless, false, {"10.0.0.255", "255.255.255.255"}, {"", "0.0.0.0"}},
    {nullptr, IF_TYPE_TUNNEL, IfOperStatusUp, {"fe80::2"}, {}, false, Medium::Other, true, {}, {}},
};
// clang-format on

WIN_TEST(adapterListBecomesRecords)
{
    std::deque<sockaddr_in> store;
    std::deque<IP_ADAPTER_UNICAST_ADDRESS> unicast;
    std::deque<IP_ADAPTER_GATEWAY_ADDRESS> gateways;
    std::deque<IP_ADAPTER_ADDRESSES> adapters;
    IP_ADAPTER_ADDRESSES* first = nullptr;
    for (auto row = std::rbegin(kAdapters); row != std::rend(kAdapters); ++row) {
        IP_ADAPTER_ADDRESSES& adapter = adapters.emplace_back();
        adapter.FriendlyName = const_cast<wchar_t*>(row->name);
        adapter.IfType = row->type;
        adapter.OperStatus = row->status;
        adapter.FirstUnicastAddress = addresses(row->unicast, unicast, store);
        adapter.FirstGatewayAddress = addresses(row->gateways, gateways, store);
        adapter.Ipv4Metric = ULONG(std::rend(kAdapters) - row); // 1, 2, ...
        adapter.Luid.Value = row->hardware;
        adapter.Next = std::exchange(first, &adapter);
    }
    const auto records = win32::adapterRecords(
        first, [](const void* luid) { return static_cast<const NET_LUID*>(luid)->Value != 0; });
    if (!WIN_CHECK(records.size() == std::size(kAdapters)))
        return;
    for (size_t i = 0; i < records.size(); ++i) {
        const win32::AdapterRecord& record = records[i];
        const auto& row = kAdapters[i];
        WIN_CHECK_ROW(int(i), record.friendlyName == (row.name ? row.name : L"") &&
                                  record.medium == row.medium && record.up == row.up &&
                                  record.ipv4Addresses == row.ipv4 &&
                                  record.gateways == row.gatewayTexts && record.metric == i + 1 &&
                                  record.hardware == row.hardware);
    }
}

// Whatever adapters the machine has, the system query lists one, named, with an address.
WIN_TEST(adapterQueryListsTheMachinesAdapters)
{
    const std::vector<win32::AdapterRecord> records = win32::listIpv4Adapters();
    WIN_CHECK(std::any_of(records.begin(), records.end(), [](const win32::AdapterRecord& record) {
        return !record.friendlyName.empty() && !record.ipv4Addresses.empty();
    }));
}
