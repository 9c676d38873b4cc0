// The body that names several entries of one folder, as ZIP and delete-many
// take it: {"path": <client path of the folder>, "names": [<names>]}.
#pragma once
#include <string>
#include <vector>

#include "http/connection.h"
#include "http/request.h"

namespace files {

struct Selection {
  std::string folder;  // full path on disk
  std::vector<std::string> names;  // as sent; each still to be checked
};

// Reads and checks the body; on failure it has answered (413, or 400: a
// body cut short, "Missing names[]", "Invalid path") and returns false.
bool readSelectionOrReply(http::Connection& c, const http::HttpRequest& r, Selection& s);

}  // namespace files
