#include "netenv/address_choice.h"

#include <algorithm>

#include "core/ascii_case.h"

namespace netenv {

namespace {

const std::string kIPv4Marker = "| IPv4 ";

// Checked in this order against the friendly name, then the description.
const char* const kVirtualKeywords[] = {
    "vpn",     "wireguard",  "openvpn",   "wintun",      "tunnel",        "tap",         "tailscale",
    "zerotier", "hamachi",   "forticlient", "anyconnect", "globalprotect", "pulse secure", "citrix",
    "checkpoint", "juniper", "palo alto", "pan",         "secure",        "virtual",     "vmware",
    "hyper-v", "virtualbox", "ndis",      "ppp",
};

// Keywords are ASCII, so folding ASCII letters is enough and leaves the
// bytes of other characters alone.
bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool usableIPv4(const std::string& text) {
  return !text.empty() && text != "0.0.0.0" && !startsWith(text, "169.254.");
}

const AdapterRecord* upAdapterWithLuid(const std::vector<AdapterRecord>& adapters, uint64_t luid) {
  for (const AdapterRecord& a : adapters)
    if (a.up && a.luid == luid) return &a;
  return nullptr;
}

}  // namespace

const char* const kAutoAddressItem = "(auto)";

std::vector<std::string> adapterAddressLines(const std::vector<AdapterRecord>& adapters) {
  std::vector<std::string> lines;
  for (const AdapterRecord& a : adapters) {
    if (!a.up || a.ifType == kIfTypeLoopback) continue;
    std::string name = a.friendlyName.empty() ? "(unknown)" : a.friendlyName;
    for (const AdapterAddress& addr : a.addresses) {
      if (addr.text.empty()) continue;
      if (addr.family == 4) {
        lines.push_back(name + " | IPv4 " + addr.text);
      } else {
        std::string line = name + " | IPv6 " + addr.text;
        if (addr.scopeId != 0) line.append("%").append(std::to_string(addr.scopeId));
        lines.push_back(line);
      }
    }
  }
  return lines;
}

std::vector<std::string> adapterAddressLines() {
  std::vector<AdapterRecord> adapters;
  enumerateAdapters(AdapterFamily::Both, adapters);
  return adapterAddressLines(adapters);
}

std::vector<std::string> addressChoices(const std::vector<std::string>& lines) {
  std::vector<std::string> choices;
  for (const std::string& line : lines) {
    size_t at = line.find(kIPv4Marker);
    if (at == std::string::npos) continue;
    std::string text = line.substr(at + kIPv4Marker.size());
    if (usableIPv4(text)) choices.push_back(text);
  }
  std::sort(choices.begin(), choices.end());
  choices.erase(std::unique(choices.begin(), choices.end()), choices.end());
  return choices;
}

std::vector<std::string> addressChoices() { return addressChoices(adapterAddressLines()); }

std::vector<std::string> addressListItems(const std::vector<std::string>& choices) {
  std::vector<std::string> items{kAutoAddressItem};
  items.insert(items.end(), choices.begin(), choices.end());
  return items;
}

size_t addressListSelection(const std::vector<std::string>& items, const std::string& wanted) {
  if (wanted.empty()) return 0;
  for (size_t i = 1; i < items.size(); ++i)
    if (items[i] == wanted) return i;
  return 0;
}

bool isVirtualAdapter(const AdapterRecord* adapter) {
  if (!adapter) return true;
  uint32_t t = adapter->ifType;
  if (t == kIfTypePpp || t == kIfTypeLoopback || t == kIfTypeTunnel) return true;
  std::string name = core::lowerAscii(adapter->friendlyName);
  std::string description = core::lowerAscii(adapter->description);
  for (const char* keyword : kVirtualKeywords) {
    if (!name.empty() && name.find(keyword) != std::string::npos) return true;
    if (!description.empty() && description.find(keyword) != std::string::npos) return true;
  }
  return false;
}

std::string firstUsableIPv4(const AdapterRecord& adapter) {
  for (const AdapterAddress& addr : adapter.addresses)
    if (addr.family == 4 && usableIPv4(addr.text)) return addr.text;
  return {};
}

std::string chooseLanAddress(const std::vector<RouteRecord>& routes, const std::vector<AdapterRecord>& adapters,
                             bool preferPhysical) {
  std::vector<RouteRecord> defaults;
  for (const RouteRecord& r : routes)
    if (r.prefixFamily == 4 && r.prefixLength == 0) defaults.push_back(r);
  if (defaults.empty() || adapters.empty()) return {};
  // Stable, so that among equal metrics the table order decides.
  std::stable_sort(defaults.begin(), defaults.end(),
                   [](const RouteRecord& a, const RouteRecord& b) { return a.metric < b.metric; });

  if (!preferPhysical) {
    const AdapterRecord* a = upAdapterWithLuid(adapters, defaults.front().luid);
    if (!a || a->ifType == kIfTypeLoopback) return {};
    return firstUsableIPv4(*a);
  }

  std::string any, physical, preferred;
  for (const RouteRecord& r : defaults) {
    const AdapterRecord* a = upAdapterWithLuid(adapters, r.luid);
    if (!a) continue;
    std::string address = firstUsableIPv4(*a);
    if (address.empty()) continue;
    if (any.empty()) any = address;
    if (isVirtualAdapter(a)) continue;
    if (physical.empty()) physical = address;
    if (preferred.empty() && (a->ifType == kIfTypeEthernet || a->ifType == kIfTypeWifi)) preferred = address;
  }
  if (!preferred.empty()) return preferred;
  return physical.empty() ? any : physical;
}

}  // namespace netenv
