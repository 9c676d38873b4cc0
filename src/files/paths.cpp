#include "files/paths.h"

#include "files/name_fold.h"
#include "files/web_root.h"
#include "sys/folders.h"
#include "sys/fs.h"

namespace files {

namespace {

bool isSeparator(char ch) { return ch == '/' || ch == '\\'; }

template <typename Text>
bool beginsWithSegments(const Text& inner, const Text& outer) {
  return inner.size() >= outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
         (inner.size() == outer.size() || inner[outer.size()] == '/');
}

}  // namespace

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
  if (!isAllowedClientPath(rel)) return {};
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

std::string clientPathOf(const std::string& path) {
  std::string fullRoot = sys::fullPath(webRoot());
  std::string full = sys::fullPath(path);
  if (fullRoot.empty() || full.empty() || !sys::hasPathPrefix(full, fullRoot)) return {};
  std::string rest = full.substr(fullRoot.size());
  // "/srv/files2" begins with "/srv/files" but is not below it.
  if (!rest.empty() && !isSeparator(fullRoot.back()) && !isSeparator(rest.front())) return {};
  for (char& ch : rest)
    if (ch == '\\') ch = '/';
  size_t first = rest.find_first_not_of('/');
  if (first == std::string::npos) return {};
  return rest.substr(first, rest.find_last_not_of('/') - first + 1);
}

bool isSameOrBelow(const std::string& inner, const std::string& outer, NameRules rules) {
  if (outer.empty()) return true;
  if (rules == NameRules::Windows) return beginsWithSegments(foldText(inner), foldText(outer));
  return beginsWithSegments(inner, outer);
}

}  // namespace files
