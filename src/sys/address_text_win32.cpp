#include <winsock2.h>
#include <ws2tcpip.h>

#include "sys/address_text.h"

namespace sys {

bool ipv6FromText(const std::string& text, unsigned char bytes[16]) {
  return ::inet_pton(AF_INET6, text.c_str(), bytes) == 1;
}

}  // namespace sys
