// The address a failed login is counted against. One device on a LAN can
// hold many IPv6 addresses within its /64, so IPv6 clients are counted by
// their /64; IPv4 clients, mapped ones included, by their whole address.
#pragma once
#include <string>

namespace auth {

// "::ffff:10.0.0.7" stays as it is, "2001:db8:1:2:a:b:c:d" becomes
// "2001:db8:1:2::/64". Text that is no IPv6 address is its own key.
std::string banKey(const std::string& host);

}  // namespace auth
