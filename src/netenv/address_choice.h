// Which of this machine's addresses goes into the URL: pure functions over
// adapter and route records, plus thin wrappers that read this machine.
#pragma once
#include <string>
#include <vector>

#include "netenv/adapters.h"

namespace netenv {

// "name | IPv4 a.b.c.d" or "name | IPv6 text[%zone]" for every unicast
// address of the adapters that are up and not loopback, in system order.
std::vector<std::string> adapterAddressLines(const std::vector<AdapterRecord>& adapters);
std::vector<std::string> adapterAddressLines();

// The distinct IPv4 texts of those lines without 0.0.0.0 and link-local
// addresses, sorted as text.
std::vector<std::string> addressChoices(const std::vector<std::string>& lines);
std::vector<std::string> addressChoices();

// The address list of the main window: "(auto)" first, then the choices;
// and the item to select for an address ("(auto)" when it is not listed).
extern const char* const kAutoAddressItem;
std::vector<std::string> addressListItems(const std::vector<std::string>& choices);
size_t addressListSelection(const std::vector<std::string>& items, const std::string& wanted);

// VPN, tunnel and virtual-machine adapters, by type and by keywords in the
// name or description; no adapter at all counts as virtual.
bool isVirtualAdapter(const AdapterRecord* adapter);

// The first IPv4 address that is neither 0.0.0.0 nor link-local; "" if none.
std::string firstUsableIPv4(const AdapterRecord& adapter);

// The LAN address behind the default routes. preferPhysical walks every
// default route by metric and prefers non-virtual Ethernet or Wi-Fi adapters;
// otherwise only the lowest-metric default route counts. "" when none.
std::string chooseLanAddress(const std::vector<RouteRecord>& routes, const std::vector<AdapterRecord>& adapters,
                             bool preferPhysical);

}  // namespace netenv
