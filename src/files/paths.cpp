#include "files/paths.h"

#include "files/web_root.h"
#include "sys/folders.h"
#include "sys/fs.h"

namespace files {

std::string normalizeClientPath(const std::string& clientPath) {
  std::string p = clientPath;
  for (char& ch : p)
    if (ch == '\\') ch = '/';
  size_t lead = p.find_first_not_of('/');
  return lead == std::string::npos ? std::string() : p.substr(lead);
}

std::string resolveClientPath(const std::string& clientPath) {
  std::string rel = normalizeClientPath(clientPath);
  std::string root = webRoot();
  if (rel.empty()) return root;
  // A NUL would end the path inside the system's calls, after the checks.
  if (rel.find('\0') != std::string::npos) return {};
  // Refused anywhere, not only as a whole segment: no parent can slip through.
  if (rel.size() >= 2 && rel.find("..") != std::string::npos) return {};
  for (char& ch : rel)
    if (ch == '/') ch = sys::kPathSeparator;
  std::string joined = root;
  if (!joined.empty() && joined.back() != sys::kPathSeparator) joined += sys::kPathSeparator;
  joined += rel;
  std::string fullRoot = sys::fullPath(root);
  std::string full = sys::fullPath(joined);
  if (fullRoot.empty() || full.empty() || !sys::hasPathPrefix(full, fullRoot)) return {};
  return full;
}

bool hasPathSyntax(const std::string& name) {
  return name.find("..") != std::string::npos || name.find_first_of(std::string("/\\\0", 3)) != std::string::npos;
}

bool isPlainName(const std::string& name) { return !name.empty() && !hasPathSyntax(name); }

}  // namespace files
