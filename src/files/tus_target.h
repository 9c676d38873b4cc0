// Where a resumable upload is to be stored: its file name and folder, checked
// as strictly as every other file route checks names, and the name it takes
// when that one is taken.
#pragma once
#include <string>

#include "files/names.h"
#include "files/tus_metadata.h"

namespace files {

constexpr size_t kMaxStoredNameBytes = 255;

// A plain name that can also be created as it is: no control characters
// (C0, DEL) and at most kMaxStoredNameBytes; under Windows rules neither a
// trailing dot or blank (folded away) nor one of < > " | ? *.
bool isStorableName(const std::string& name, NameRules rules = hostNameRules());

// "name (n).ext": the number before the last extension; a name whose only
// dot leads it has none.
std::string numberedName(const std::string& name, int n);

struct TusTarget {
  std::string folder;  // full path, inside the web root
  std::string name;
};

enum class TargetError { None, MissingName, BadName, BadPath };

// The target the metadata names below baseClientPath (the web root, "", or
// a share's folder): "filename", then the folders "path" and "relativePath"
// below it, each segment a storable name. The folder need not exist yet.
TargetError resolveTusTarget(const TusMetadata& metadata, const std::string& baseClientPath, TusTarget& out);

}  // namespace files
