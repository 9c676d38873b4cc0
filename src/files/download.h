// Sending one file of the disk as an attachment, in fixed pieces.
#pragma once
#include <cstddef>
#include <string>

#include "http/connection.h"
#include "http/request.h"

namespace files {

constexpr size_t kDownloadPiece = 262144;

// The part after the last slash or backslash; empty when the path ends
// with one.
std::string baseName(const std::string& path);
// The name as it may stand between the quotes of Content-Disposition:
// double quotes and control bytes become "_".
std::string dispositionName(const std::string& name);
// Sends the head and the bytes of the file the request asks for: all of
// them, or the one range it names (206, or 416 when the range lies past the
// end); with view=1 in the query a type the browser may show comes inline.
// True when all were sent. When the file cannot be opened or sized
// nothing is sent.
// The file a folder share's guest names with "?name=", inside the share's
// folder; false when it has answered instead (400 "Invalid name", 404).
bool sharedFileOrReply(http::Connection& c, const http::HttpRequest& r, std::string& path);

bool streamFile(http::Connection& c, const http::HttpRequest& r, const std::string& path,
                const std::string& downloadName);

}  // namespace files
