#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <netioapi.h>

#include "netenv/adapters.h"
#include "sys/text.h"

namespace netenv {

namespace {

constexpr ULONG kAdapterFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;

bool addressText(const SOCKADDR* sa, AdapterAddress& out) {
  wchar_t text[INET6_ADDRSTRLEN];
  if (sa->sa_family == AF_INET) {
    if (!InetNtopW(AF_INET, &((const SOCKADDR_IN*)sa)->sin_addr, text, INET6_ADDRSTRLEN)) return false;
    out.family = 4;
    out.scopeId = 0;
  } else if (sa->sa_family == AF_INET6) {
    const SOCKADDR_IN6* a6 = (const SOCKADDR_IN6*)sa;
    if (!InetNtopW(AF_INET6, &a6->sin6_addr, text, INET6_ADDRSTRLEN)) return false;
    out.family = 6;
    out.scopeId = a6->sin6_scope_id;
  } else {
    return false;
  }
  out.text = sys::toUtf8(text);
  return !out.text.empty();
}

}  // namespace

bool enumerateAdapters(AdapterFamily family, std::vector<AdapterRecord>& out) {
  out.clear();
  ULONG af = family == AdapterFamily::IPv4 ? AF_INET : AF_UNSPEC;
  ULONG size = 0;
  if (GetAdaptersAddresses(af, kAdapterFlags, nullptr, nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0)
    return false;
  // 8-byte units keep the records aligned.
  std::vector<unsigned long long> buffer((size + 7) / 8);
  IP_ADAPTER_ADDRESSES* first = (IP_ADAPTER_ADDRESSES*)buffer.data();
  if (GetAdaptersAddresses(af, kAdapterFlags, nullptr, first, &size) != NO_ERROR) return false;

  for (IP_ADAPTER_ADDRESSES* a = first; a; a = a->Next) {
    AdapterRecord rec;
    if (a->FriendlyName) rec.friendlyName = sys::toUtf8(a->FriendlyName);
    if (a->Description) rec.description = sys::toUtf8(a->Description);
    rec.ifType = a->IfType;
    rec.up = a->OperStatus == IfOperStatusUp;
    rec.luid = a->Luid.Value;
    for (IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u; u = u->Next) {
      AdapterAddress addr;
      if (u->Address.lpSockaddr && addressText(u->Address.lpSockaddr, addr)) rec.addresses.push_back(addr);
    }
    out.push_back(std::move(rec));
  }
  return !out.empty();
}

bool readIPv4Routes(std::vector<RouteRecord>& out) {
  out.clear();
  MIB_IPFORWARD_TABLE2* table = nullptr;
  if (GetIpForwardTable2(AF_INET, &table) != NO_ERROR || !table) return false;
  for (ULONG i = 0; i < table->NumEntries; ++i) {
    const MIB_IPFORWARD_ROW2& row = table->Table[i];
    RouteRecord r;
    r.luid = row.InterfaceLuid.Value;
    r.metric = row.Metric;
    ADDRESS_FAMILY af = row.DestinationPrefix.Prefix.si_family;
    r.prefixFamily = af == AF_INET ? 4 : af == AF_INET6 ? 6 : 0;
    r.prefixLength = row.DestinationPrefix.PrefixLength;
    out.push_back(r);
  }
  FreeMibTable(table);
  return true;
}

}  // namespace netenv
