// This machine's adapters and routes, as the operating system reports them,
// must be something the address choice can work with.
#include "netenv/adapters.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "netenv/address_choice.h"

namespace {

bool hasUsableDefaultRoute(const std::vector<netenv::RouteRecord>& routes,
                           const std::vector<netenv::AdapterRecord>& adapters) {
  for (const netenv::RouteRecord& r : routes) {
    if (r.prefixFamily != 4 || r.prefixLength != 0) continue;
    for (const netenv::AdapterRecord& a : adapters)
      if (a.up && a.luid == r.luid && !netenv::firstUsableIPv4(a).empty()) return true;
  }
  return false;
}

TEST(MachineAdapters, RecordsFitTheAddressChoice) {
  std::vector<netenv::AdapterRecord> adapters;
  ASSERT_TRUE(netenv::enumerateAdapters(netenv::AdapterFamily::Both, adapters));
  bool loopback = false;
  for (const netenv::AdapterRecord& a : adapters) {
    EXPECT_NE(a.luid, 0u) << a.friendlyName;
    if (a.ifType == netenv::kIfTypeLoopback) loopback = true;
    for (const netenv::AdapterAddress& addr : a.addresses) {
      EXPECT_TRUE(addr.family == 4 || addr.family == 6) << addr.text;
      EXPECT_FALSE(addr.text.empty());
      EXPECT_EQ(addr.text.find('%'), std::string::npos) << addr.text;
    }
  }
  EXPECT_TRUE(loopback);

  std::vector<netenv::AdapterRecord> v4only;
  ASSERT_TRUE(netenv::enumerateAdapters(netenv::AdapterFamily::IPv4, v4only));
  for (const netenv::AdapterRecord& a : v4only)
    for (const netenv::AdapterAddress& addr : a.addresses) EXPECT_EQ(addr.family, 4) << addr.text;

  std::vector<netenv::RouteRecord> routes;
  ASSERT_TRUE(netenv::readIPv4Routes(routes));
  for (const netenv::RouteRecord& r : routes) EXPECT_EQ(r.prefixFamily, 4);

  std::vector<std::string> choices = netenv::addressChoices(netenv::adapterAddressLines(adapters));
  for (bool preferPhysical : {true, false}) {
    std::string chosen = netenv::chooseLanAddress(routes, v4only, preferPhysical);
    if (!chosen.empty()) {
      EXPECT_NE(std::find(choices.begin(), choices.end(), chosen), choices.end()) << chosen;
    }
  }
  // A default route to an adapter with an address always yields one.
  if (hasUsableDefaultRoute(routes, v4only)) {
    EXPECT_NE(netenv::chooseLanAddress(routes, v4only, true), "");
  }
}

}  // namespace
