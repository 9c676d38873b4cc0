// Client paths (UTF-8, "/"-separated, relative to the web root, "" for the
// web root itself) and the one rule that turns them into paths on disk.
#pragma once
#include <string>

namespace files {

// Backslashes become slashes, leading slashes go.
std::string normalizeClientPath(const std::string& clientPath);
// The full path inside the web root, or empty when the client path is
// refused: any "..", a NUL byte, a full form that does not fit, or one that
// does not begin with the web root's own full form.
std::string resolveClientPath(const std::string& clientPath);
// Whether a name holds "..", a slash, a backslash or a NUL byte.
bool hasPathSyntax(const std::string& name);
// A single non-empty entry name without path syntax.
bool isPlainName(const std::string& name);

}  // namespace files
