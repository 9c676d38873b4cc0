#include "files/tus_target.h"

#include "files/paths.h"

namespace files {

namespace {

// Appends the "/"-separated segments of folders to clientPath; empty
// segments (doubled or edge slashes) are skipped. False on a segment that is
// not storable.
bool appendSegments(const std::string& folders, std::string& clientPath) {
  size_t start = 0;
  while (start <= folders.size()) {
    size_t slash = folders.find('/', start);
    std::string segment = folders.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    start = slash == std::string::npos ? folders.size() + 1 : slash + 1;
    if (segment.empty()) continue;
    if (!isStorableName(segment)) return false;
    if (!clientPath.empty()) clientPath += '/';
    clientPath += segment;
  }
  return true;
}

}  // namespace

bool isStorableName(const std::string& name, NameRules rules) {
  return name.size() <= kMaxStoredNameBytes && isNewEntryName(name, rules);
}

std::string numberedName(const std::string& name, int n) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) dot = name.size();
  return name.substr(0, dot) + " (" + std::to_string(n) + ")" + name.substr(dot);
}

TargetError resolveTusTarget(const TusMetadata& metadata, const std::string& baseClientPath, TusTarget& out) {
  if (!metadataValue(metadata, "filename", out.name)) return TargetError::MissingName;
  if (!isStorableName(out.name)) return TargetError::BadName;
  std::string path, relative;
  metadataValue(metadata, "path", path);
  metadataValue(metadata, "relativePath", relative);
  // The target folder is spelt as the other routes take client paths
  // (backslashes as separators); the folders below it are "/"-separated.
  std::string clientPath = normalizeClientPath(baseClientPath);
  if (!appendSegments(normalizeClientPath(path), clientPath) || !appendSegments(relative, clientPath))
    return TargetError::BadPath;
  out.folder = resolveClientPath(clientPath);
  if (out.folder.empty()) return TargetError::BadPath;
  return TargetError::None;
}

}  // namespace files
