#include "auth/ban_key.h"

#include <cstdio>

#include "sys/address_text.h"

namespace auth {

std::string banKey(const std::string& host) {
  // A zone ("%eth0") names the link the address was reached by, not the device.
  std::string address = host.substr(0, host.find('%'));
  unsigned char b[16];
  if (!sys::ipv6FromText(address, b)) return host;
  bool mapped = true;
  for (int i = 0; i < 12; ++i)
    if (b[i] != (i < 10 ? 0 : 0xff)) mapped = false;
  char key[64];
  if (mapped)
    std::snprintf(key, sizeof key, "::ffff:%u.%u.%u.%u", b[12], b[13], b[14], b[15]);
  else
    std::snprintf(key, sizeof key, "%x:%x:%x:%x::/64", b[0] << 8 | b[1], b[2] << 8 | b[3], b[4] << 8 | b[5],
                  b[6] << 8 | b[7]);
  return key;
}

}  // namespace auth
