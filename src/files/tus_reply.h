// The answers of the resumable upload routes: every one carries the
// protocol version; refusals carry a JSON body like the other routes.
#pragma once
#include <cstdint>
#include <string>

#include "http/connection.h"
#include "http/request.h"

namespace files {

extern const char* const kTusVersion;

// A head without a body (201, 204, the answer to HEAD) with extra headers.
void sendTusHead(http::Connection& c, int status, const std::string& reason, const http::HeaderList& extra);
// {"ok":false,"error":message} with the protocol version and extra headers;
// the head alone when the request is a HEAD.
void sendTusError(http::Connection& c, const http::HttpRequest& r, int status, const std::string& reason,
                  const std::string& message, const http::HeaderList& extra = {});

// An HTTP date (Upload-Expires) for seconds since 1970.
std::string httpDateAt(uint64_t seconds);
// Every byte but letters, digits and "-._~" as %XX: a UTF-8 name in a header.
std::string percentEncode(const std::string& text);

}  // namespace files
