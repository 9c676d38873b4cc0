// The key the listener counts a client's connections under.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sys/net.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#endif

namespace {

sys::PeerAddress peer(const char* text) {
  sys::PeerAddress p;
  if (std::strchr(text, ':')) {
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    inet_pton(AF_INET6, text, &a.sin6_addr);
    std::memcpy(p.bytes, &a, sizeof a);
    p.length = (int)sizeof a;
  } else {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, text, &a.sin_addr);
    std::memcpy(p.bytes, &a, sizeof a);
    p.length = (int)sizeof a;
  }
  return p;
}

TEST(AddressKey, IPv4ByAddressMappedOrNotAndIPv6ByItsSixtyFourBitPrefix) {
  std::string v4 = sys::addressKey(peer("192.168.1.20"));
  EXPECT_EQ(sys::addressKey(peer("::ffff:192.168.1.20")), v4);
  EXPECT_NE(sys::addressKey(peer("192.168.1.21")), v4);
  // A device's (or a network's) many IPv6 addresses share their /64.
  std::string v6 = sys::addressKey(peer("2001:db8:1:2::10"));
  EXPECT_EQ(sys::addressKey(peer("2001:db8:1:2:abcd:ef01:2345:6789")), v6);
  EXPECT_NE(sys::addressKey(peer("2001:db8:1:3::10")), v6);
  // Neither family's keys meet the other's: an IPv4 address is no IPv6 prefix.
  EXPECT_NE(sys::addressKey(peer("::c0a8:114")), v4);
  EXPECT_NE(sys::addressKey(peer("::")), sys::addressKey(peer("0.0.0.0")));
}

}  // namespace
