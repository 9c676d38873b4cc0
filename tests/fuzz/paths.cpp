// The client path rules. Property: a path that is accepted names the web
// root or something inside it, never beside or above it; a plain name
// joined to an accepted folder names something inside that folder.
#include <vector>

#include "files/paths.h"
#include "files/web_root.h"
#include "fuzz_support.h"
#include "sys/folders.h"
#include "sys/fs.h"

namespace {

const char* const kRoots[] = {"/srv/web root", "/srv/web root/", "/srv/./web//root", "/", "/srv/wurzel \xc3\xbc"};

std::vector<std::string> segments(const std::string& full) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i <= full.size()) {
    size_t slash = full.find('/', i);
    if (slash == std::string::npos) slash = full.size();
    if (slash > i) out.push_back(full.substr(i, slash - i));
    i = slash + 1;
  }
  return out;
}

// Whether inner lies in outer, by whole segments; strictly when asked.
bool within(const std::string& inner, const std::string& outer, bool strictly) {
  std::vector<std::string> in = segments(inner), out = segments(outer);
  if (in.size() < out.size() || (strictly && in.size() == out.size())) return false;
  for (size_t k = 0; k < out.size(); ++k)
    if (in[k] != out[k]) return false;
  for (const std::string& s : in)
    if (s == "." || s == "..") return false;
  return inner[0] == '/';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in{data, size};
  std::string root = kRoots[fuzz::takeByte(in) % 5];
  std::string clientPath = fuzz::takeString(in, 512);
  std::string name = fuzz::takeRest(in);

  files::setWebRoot(root);
  std::string fullRoot = sys::fullPath(root);
  std::string folder = files::resolveClientPath(clientPath);
  if (folder.empty()) return 0;
  // The web root itself may come back as it was set, unfolded.
  FUZZ_CHECK(within(sys::fullPath(folder), fullRoot, false));
  FUZZ_CHECK(folder.find('\0') == std::string::npos);

  if (!files::isPlainName(name)) return 0;
  std::string child = sys::fullPath(sys::joinPath(folder, name));
  FUZZ_CHECK(child.empty() || within(child, sys::fullPath(folder), true));
  return 0;
}
