// Where the certificate, key and address mark live.
#pragma once
#include <string>

namespace cert {

struct CertPaths {
  std::string certificate;  // server.crt
  std::string key;          // server.key
  std::string address;      // server.ip
};

// The three files in the base folder.
CertPaths certPaths();
// The form of a path that OpenSSL's file functions take.
std::string openSslPath(const std::string& path);

}  // namespace cert
