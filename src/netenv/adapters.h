// This machine's network adapters and IPv4 routes as plain records, read
// from the operating system (adapters_win32.cpp / adapters_posix.cpp).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace netenv {

// IANA interface types, as Windows reports them and as the POSIX side maps
// the kernel's link types onto them.
constexpr uint32_t kIfTypeOther = 1;
constexpr uint32_t kIfTypeEthernet = 6;
constexpr uint32_t kIfTypePpp = 23;
constexpr uint32_t kIfTypeLoopback = 24;
constexpr uint32_t kIfTypeWifi = 71;
constexpr uint32_t kIfTypeTunnel = 131;

struct AdapterAddress {
  int family = 4;        // 4 or 6
  std::string text;      // numeric form, without a zone suffix
  uint32_t scopeId = 0;  // IPv6 zone; 0 when none
};

struct AdapterRecord {
  std::string friendlyName;  // empty when the adapter has none
  std::string description;
  uint32_t ifType = kIfTypeOther;
  bool up = false;    // operationally up
  uint64_t luid = 0;  // the key routes name their adapter by (LUID, or index)
  std::vector<AdapterAddress> addresses;  // unicast, in the system's order
};

struct RouteRecord {
  uint64_t luid = 0;
  uint32_t metric = 0;
  int prefixFamily = 4;
  int prefixLength = 0;
};

enum class AdapterFamily { Both, IPv4 };

// False, with out empty, when the system lists no adapters or the call fails.
bool enumerateAdapters(AdapterFamily family, std::vector<AdapterRecord>& out);
// The IPv4 route table; false when it cannot be read.
bool readIPv4Routes(std::vector<RouteRecord>& out);

}  // namespace netenv
