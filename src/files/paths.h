// Client paths (UTF-8, "/"-separated, relative to the web root, "" for the
// web root itself) and the one rule that turns them into paths on disk.
#pragma once
#include <string>

#include "files/names.h"

namespace files {

// Backslashes become slashes, leading slashes go.
std::string normalizeClientPath(const std::string& clientPath);
// The full path inside the web root, or empty when the client path is
// refused: a segment that isAllowedSegment refuses (".." among them), a full
// form that does not fit, or one that does not begin with the web root's own
// full form.
std::string resolveClientPath(const std::string& clientPath);
// The clean client path of a path on disk: its full form below the web
// root's, "/"-separated, without leading or trailing separators. Empty for
// the web root itself and for anything outside it.
std::string clientPathOf(const std::string& path);
// Whether the clean client path inner names outer itself or an entry below
// it, segment by segment ("a/bc" is not below "a/b"); ignoring case under
// Windows rules. Everything lies below the web root, "".
bool isSameOrBelow(const std::string& inner, const std::string& outer, NameRules rules = hostNameRules());

}  // namespace files
