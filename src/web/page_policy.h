// The security policy a page is sent with: its own inline script and style
// are allowed by their hashes, nothing else runs, and no other site may
// frame it or learn its address (share tokens live in URLs).
#pragma once
#include <string>

#include "http/request.h"

namespace web {

// "'sha256-<base64>'" for each <script> and <style> element's text.
std::string inlineHashes(const std::string& page, const char* element);
// The Content-Security-Policy value for a page.
std::string contentSecurityPolicy(const std::string& page);
// The headers every page goes out with, given its policy.
http::HeaderList pageHeaders(const std::string& policy);

}  // namespace web
