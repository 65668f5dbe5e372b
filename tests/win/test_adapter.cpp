#include "config/adapter_win32.h"
#include "tests/win/wintest.h"

#include <winsock2.h>

#include <ws2tcpip.h>

#include <string>

namespace {

bool isDottedIpv4(const std::string& text)
{
    IN_ADDR address{};
    return InetPtonA(AF_INET, text.c_str(), &address) == 1; // four decimal parts, nothing else
}

} // namespace

WIN_TEST(ipv4TextIsDottedFromHostOrder)
{
    WIN_CHECK(win32::ipv4Text(0xC0A8010Aul) == "192.168.1.10");
    WIN_CHECK(win32::ipv4Text(0x00000000ul) == "0.0.0.0");
    WIN_CHECK(win32::ipv4Text(0xFFFFFFFFul) == "255.255.255.255");
}

// Whatever adapters the machine has, the query lists them with names and dotted addresses.
WIN_TEST(adapterQueryYieldsWellFormedRecords)
{
    const std::vector<win32::AdapterRecord> records = win32::listIpv4Adapters();
    WIN_CHECK(!records.empty());
    bool sawAddress = false;
    for (const win32::AdapterRecord& record : records) {
        WIN_CHECK(!record.friendlyName.empty());
        for (const std::string& address : record.ipv4Addresses) {
            WIN_CHECK(isDottedIpv4(address));
            sawAddress = true;
        }
        for (const std::string& gateway : record.gateways)
            WIN_CHECK(gateway.empty() || isDottedIpv4(gateway));
    }
    WIN_CHECK(sawAddress);
}
