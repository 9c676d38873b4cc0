#include "cert/cert_paths.h"

#include "sys/folders.h"
#include "sys/text.h"

namespace cert {

CertPaths certPaths() {
  std::string base = sys::baseFolder();
  return {sys::joinPath(base, "server.crt"), sys::joinPath(base, "server.key"), sys::joinPath(base, "server.ip")};
}

std::string openSslPath(const std::string& path) { return sys::toNarrowPath(path); }

}  // namespace cert
