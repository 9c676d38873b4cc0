#include "netenv/address_choice.h"

#include <gtest/gtest.h>

#include "netenv/address_cache.h"

namespace {

using netenv::AdapterRecord;
using netenv::RouteRecord;

AdapterRecord adapter(const std::string& name, const std::string& description, uint32_t type, uint64_t luid,
                      std::vector<netenv::AdapterAddress> addresses, bool up = true) {
  AdapterRecord a;
  a.friendlyName = name;
  a.description = description;
  a.ifType = type;
  a.luid = luid;
  a.up = up;
  a.addresses = std::move(addresses);
  return a;
}

netenv::AdapterAddress v4(const std::string& text) { return {4, text, 0}; }
netenv::AdapterAddress v6(const std::string& text, uint32_t scope = 0) { return {6, text, scope}; }

RouteRecord defaultRoute(uint64_t luid, uint32_t metric) { return {luid, metric, 4, 0}; }

constexpr uint32_t kWwan = 243;       // mobile broadband
constexpr uint32_t kPropVirtual = 53;  // what user-mode tunnel drivers report

std::string chooseHttps(const std::vector<RouteRecord>& r, const std::vector<AdapterRecord>& a) {
  return netenv::chooseLanAddress(r, a, true);
}
std::string chooseHttp(const std::vector<RouteRecord>& r, const std::vector<AdapterRecord>& a) {
  return netenv::chooseLanAddress(r, a, false);
}

TEST(AddressLines, NameFamilyAndZoneOfEveryAddressOfUpNonLoopbackAdapters) {
  std::vector<AdapterRecord> adapters = {
      adapter("Ethernet", "Intel", 6, 1, {v4("192.168.1.20"), v6("fe80::1", 12), v6("2001:db8::5")}),
      adapter("Loopback Pseudo-Interface 1", "", 24, 2, {v4("127.0.0.1"), v6("::1")}),
      adapter("Wi-Fi", "", 71, 3, {v4("10.0.0.7")}, false),
      adapter("", "", 6, 4, {v4("169.254.3.4")}),
  };
  EXPECT_EQ(netenv::adapterAddressLines(adapters),
            (std::vector<std::string>{"Ethernet | IPv4 192.168.1.20", "Ethernet | IPv6 fe80::1%12",
                                      "Ethernet | IPv6 2001:db8::5", "(unknown) | IPv4 169.254.3.4"}));
}

TEST(AddressChoices, DistinctUsableIPv4SortedAsText) {
  std::vector<std::string> lines = {"A | IPv4 192.168.1.9",  "A | IPv6 fe80::1%3", "B | IPv4 169.254.10.1",
                                    "B | IPv4 0.0.0.0",      "C | IPv4 192.168.1.10", "D | IPv4 10.0.0.2",
                                    "E | IPv4 192.168.1.9",  "F | IPv4 "};
  EXPECT_EQ(netenv::addressChoices(lines),
            (std::vector<std::string>{"10.0.0.2", "192.168.1.10", "192.168.1.9"}));
}

TEST(AddressList, AutoIsAlwaysFirstAndSelectedWhenTheAddressIsNotListed) {
  std::vector<std::string> empty = netenv::addressListItems({});
  EXPECT_EQ(empty, std::vector<std::string>{"(auto)"});
  EXPECT_EQ(netenv::addressListSelection(empty, "192.168.1.20"), 0u);

  std::vector<std::string> items = netenv::addressListItems({"10.0.0.2", "192.168.1.20"});
  EXPECT_EQ(items, (std::vector<std::string>{"(auto)", "10.0.0.2", "192.168.1.20"}));
  EXPECT_EQ(netenv::addressListSelection(items, "192.168.1.20"), 2u);
  EXPECT_EQ(netenv::addressListSelection(items, ""), 0u);
  EXPECT_EQ(netenv::addressListSelection(items, "(auto)"), 0u);
  EXPECT_EQ(netenv::addressListSelection(items, "172.16.0.1"), 0u);
}

TEST(VirtualAdapter, TypesAndKeywordsInAnyCase) {
  EXPECT_TRUE(netenv::isVirtualAdapter(nullptr));
  for (uint32_t type : {23u, 24u, 131u}) {
    AdapterRecord a = adapter("Ethernet 2", "Realtek PCIe GbE Family Controller", type, 1, {});
    EXPECT_TRUE(netenv::isVirtualAdapter(&a)) << type;
  }
  AdapterRecord plain = adapter("Ethernet", "Realtek PCIe GbE Family Controller", 6, 1, {});
  EXPECT_FALSE(netenv::isVirtualAdapter(&plain));
  AdapterRecord unnamed = adapter("", "", 71, 1, {});
  EXPECT_FALSE(netenv::isVirtualAdapter(&unnamed));

  struct Case {
    const char* name;
    const char* description;
  };
  for (Case c : std::vector<Case>{{"vEthernet (Default Switch)", "Microsoft HYPER-v Network Adapter"},
                                  {"Office", "WireGuard Tunnel"},
                                  {"WIREGUARD", ""},
                                  {"Ethernet 3", "TAP-Windows Adapter V9"},
                                  {"Ethernet 4", "VirtualBox Host-Only Ethernet Adapter"},
                                  {"Company LAN", ""},  // "pan" inside a longer word
                                  {"", "Remote NDIS Compatible Device"}}) {
    AdapterRecord a = adapter(c.name, c.description, 6, 1, {});
    EXPECT_TRUE(netenv::isVirtualAdapter(&a)) << c.name << " / " << c.description;
  }
}

TEST(FirstUsableIPv4, SkipsUnsetLinkLocalAndIPv6) {
  AdapterRecord a = adapter("Ethernet", "", 6, 1,
                            {v6("fe80::1", 4), v4("0.0.0.0"), v4("169.254.7.7"), v4("192.168.1.20"), v4("10.0.0.1")});
  EXPECT_EQ(netenv::firstUsableIPv4(a), "192.168.1.20");
  AdapterRecord none = adapter("Ethernet", "", 6, 1, {v4("169.254.7.7"), v6("2001:db8::1")});
  EXPECT_EQ(netenv::firstUsableIPv4(none), "");
}

TEST(LanAddress, VpnOnlyMachineStillGetsTheVpnAddress) {
  std::vector<AdapterRecord> adapters = {
      adapter("Office", "wIREguard Tunnel", kPropVirtual, 7, {v4("10.8.0.3")}),
      adapter("Ethernet", "Intel(R) Ethernet Connection", 6, 1, {v4("192.168.1.20")}),
  };
  std::vector<RouteRecord> routes = {defaultRoute(7, 5), {1, 256, 4, 24}};
  EXPECT_EQ(chooseHttps(routes, adapters), "10.8.0.3");

  routes.push_back(defaultRoute(1, 35));
  EXPECT_EQ(chooseHttps(routes, adapters), "192.168.1.20");
  EXPECT_EQ(chooseHttp(routes, adapters), "10.8.0.3");  // no virtual filter there
}

TEST(LanAddress, WifiBehindAHigherMetricBeatsACellularModem) {
  std::vector<AdapterRecord> adapters = {
      adapter("Cellular", "Mobile Broadband Device", kWwan, 2, {v4("100.64.12.9")}),
      adapter("Wi-Fi", "Wireless-AC 9560", 71, 3, {v4("192.168.0.42")}),
  };
  std::vector<RouteRecord> routes = {defaultRoute(2, 10), defaultRoute(3, 50)};
  EXPECT_EQ(chooseHttps(routes, adapters), "192.168.0.42");
  EXPECT_EQ(chooseHttp(routes, adapters), "100.64.12.9");

  // Without Ethernet or Wi-Fi, the lowest-metric physical adapter wins over
  // a virtual one with a lower metric still.
  adapters[1] = adapter("Hyper-V", "", 6, 3, {v4("172.20.0.1")});
  routes = {defaultRoute(3, 1), defaultRoute(2, 10)};
  EXPECT_EQ(chooseHttps(routes, adapters), "100.64.12.9");
}

TEST(LanAddress, NoDefaultRouteNoAddress) {
  std::vector<AdapterRecord> adapters = {adapter("Ethernet", "", 6, 1, {v4("192.168.1.20")})};
  std::vector<RouteRecord> routes = {{1, 0, 4, 24}, {1, 0, 6, 0}};  // a subnet route, an IPv6 default
  EXPECT_EQ(chooseHttps(routes, adapters), "");
  EXPECT_EQ(chooseHttp(routes, adapters), "");
  EXPECT_EQ(chooseHttps({}, adapters), "");
  EXPECT_EQ(chooseHttps({defaultRoute(1, 0)}, {}), "");
}

TEST(LanAddress, RoutesToDownOrAddresslessAdaptersAreSkipped) {
  std::vector<AdapterRecord> adapters = {
      adapter("Ethernet", "", 6, 1, {v4("192.168.1.20")}, false),
      adapter("Ethernet 2", "", 6, 2, {v4("169.254.1.1"), v6("fe80::2", 2)}),
      adapter("Wi-Fi", "", 71, 3, {v4("192.168.0.42")}),
  };
  std::vector<RouteRecord> routes = {defaultRoute(1, 1), defaultRoute(2, 2), defaultRoute(9, 3), defaultRoute(3, 4)};
  EXPECT_EQ(chooseHttps(routes, adapters), "192.168.0.42");
  // The simple rule looks at the lowest-metric route alone.
  EXPECT_EQ(chooseHttp(routes, adapters), "");
}

TEST(LanAddress, EqualMetricsKeepTableOrder) {
  // Some systems report metric 0 for every route.
  std::vector<AdapterRecord> adapters = {
      adapter("Ethernet", "", 6, 1, {v4("192.168.1.20")}),
      adapter("Ethernet 2", "", 6, 2, {v4("192.168.2.20")}),
      adapter("Loopback", "", 24, 3, {v4("127.0.0.1")}),
  };
  EXPECT_EQ(chooseHttps({defaultRoute(2, 0), defaultRoute(1, 0)}, adapters), "192.168.2.20");
  EXPECT_EQ(chooseHttp({defaultRoute(1, 0), defaultRoute(2, 0)}, adapters), "192.168.1.20");
  EXPECT_EQ(chooseHttp({defaultRoute(3, 0), defaultRoute(1, 0)}, adapters), "");
}

TEST(UrlHost, PickedThenCachedThenLocalhost) {
  EXPECT_EQ(netenv::urlHost("10.0.0.2", "192.168.1.20"), "10.0.0.2");
  EXPECT_EQ(netenv::urlHost("", "192.168.1.20"), "192.168.1.20");
  EXPECT_EQ(netenv::urlHost("", ""), "localhost");
}

}  // namespace
