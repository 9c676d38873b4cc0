#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "netenv/adapters.h"
#include "sys/file_io.h"
#include "sys/folders.h"

namespace netenv {

namespace {

const std::string kSysNet = "/sys/class/net/";
constexpr int kLinkIp6Gre = 823;  // GRE over IPv6; not in the C library's list

std::string firstLine(const std::string& path) {
  std::string text;
  if (!sys::readSmallFile(path, text, 4096)) return {};
  return text.substr(0, text.find('\n'));
}

// The kernel's link type mapped onto the interface types the address
// choice knows; wireless devices report an Ethernet link type.
uint32_t interfaceType(const std::string& name) {
  std::string line = firstLine(kSysNet + name + "/type");
  if (line.empty()) return kIfTypeOther;
  int linkType = std::atoi(line.c_str());
  switch (linkType) {
    case ARPHRD_ETHER:
      if (sys::pathExists(kSysNet + name + "/wireless") || sys::pathExists(kSysNet + name + "/phy80211"))
        return kIfTypeWifi;
      return kIfTypeEthernet;
    case ARPHRD_IEEE80211:
    case ARPHRD_IEEE80211_PRISM:
    case ARPHRD_IEEE80211_RADIOTAP:
      return kIfTypeWifi;
    case ARPHRD_LOOPBACK:
      return kIfTypeLoopback;
    case ARPHRD_PPP:
      return kIfTypePpp;
    case ARPHRD_TUNNEL:
    case ARPHRD_TUNNEL6:
    case ARPHRD_SIT:
    case ARPHRD_IPGRE:
    case kLinkIp6Gre:
    case ARPHRD_NONE:  // tun devices and WireGuard
      return kIfTypeTunnel;
    default:
      return kIfTypeOther;
  }
}

// The driver's name, the closest thing to an adapter description here.
std::string driverName(const std::string& name) {
  char target[512];
  ssize_t n = readlink((kSysNet + name + "/device/driver").c_str(), target, sizeof target - 1);
  if (n <= 0) return {};
  std::string path(target, (size_t)n);
  return path.substr(path.rfind('/') + 1);
}

bool addressText(const sockaddr* sa, AdapterAddress& out) {
  char text[INET6_ADDRSTRLEN];
  if (sa->sa_family == AF_INET) {
    if (!inet_ntop(AF_INET, &((const sockaddr_in*)sa)->sin_addr, text, sizeof text)) return false;
    out.family = 4;
    out.scopeId = 0;
  } else if (sa->sa_family == AF_INET6) {
    const sockaddr_in6* a6 = (const sockaddr_in6*)sa;
    if (!inet_ntop(AF_INET6, &a6->sin6_addr, text, sizeof text)) return false;
    out.family = 6;
    out.scopeId = a6->sin6_scope_id;
  } else {
    return false;
  }
  out.text = text;
  return true;
}

}  // namespace

bool enumerateAdapters(AdapterFamily family, std::vector<AdapterRecord>& out) {
  out.clear();
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  for (ifaddrs* ifa = list; ifa; ifa = ifa->ifa_next) {
    if (!ifa->ifa_name) continue;
    std::string name = ifa->ifa_name;
    AdapterRecord* rec = nullptr;
    for (AdapterRecord& r : out)
      if (r.friendlyName == name) rec = &r;
    if (!rec) {
      out.push_back({});
      rec = &out.back();
      rec->friendlyName = name;
      rec->description = driverName(name);
      rec->ifType = interfaceType(name);
      rec->up = (ifa->ifa_flags & IFF_UP) && (ifa->ifa_flags & IFF_RUNNING);
      rec->luid = if_nametoindex(name.c_str());
    }
    AdapterAddress a;
    if (!ifa->ifa_addr || !addressText(ifa->ifa_addr, a)) continue;
    if (family == AdapterFamily::IPv4 && a.family != 4) continue;
    rec->addresses.push_back(a);
  }
  freeifaddrs(list);
  return !out.empty();
}

bool readIPv4Routes(std::vector<RouteRecord>& out) {
  out.clear();
  std::string table;
  if (!sys::readSmallFile("/proc/net/route", table, 1 << 20)) return false;
  std::istringstream lines(table);
  std::string line;
  std::getline(lines, line);  // column titles
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string iface, dest, gateway, flags, refCnt, use, metric, mask;
    if (!(fields >> iface >> dest >> gateway >> flags >> refCnt >> use >> metric >> mask)) continue;
    if (!(std::strtoul(flags.c_str(), nullptr, 16) & 0x1)) continue;  // RTF_UP
    RouteRecord r;
    r.luid = if_nametoindex(iface.c_str());
    if (r.luid == 0) continue;
    r.metric = (uint32_t)std::strtoul(metric.c_str(), nullptr, 10);
    r.prefixFamily = 4;
    r.prefixLength = __builtin_popcount((unsigned)std::strtoul(mask.c_str(), nullptr, 16));
    out.push_back(r);
  }
  return true;
}

}  // namespace netenv
