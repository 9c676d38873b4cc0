// What the resumable upload routes share: the protocol checks of a request,
// whose uploads it may reach, and what follows a write.
#pragma once
#include <cstdint>
#include <string>

#include "files/tus_body.h"
#include "files/tus_table.h"
#include "http/connection.h"
#include "http/request.h"

namespace files {

// Tus-Resumable must name the version served; else 412.
bool tusVersionOrReply(http::Connection& c, const http::HttpRequest& r);
// The Content-Type of a body of upload data.
bool isOffsetStream(const http::HttpRequest& r);
// Decimal digits only, at most 2^63 - 1; false otherwise.
bool parseCount(const std::string& text, uint64_t& value);

// "" behind a session (any session may continue such an upload); for a
// share's guest the hash of the share's token.
std::string requestOwner(const http::HttpRequest& r);

struct Settled {
  bool failed = false;     // the complete file could not be placed
  std::string storedName;  // set once the file is in place
};
// After a write: a complete upload is moved into place and forgotten, an
// unfinished one keeps its new offset and lives another kTusLifetimeSeconds.
// Releases the claim either way.
Settled settleUpload(TusClaim& claim, TusUpload& u, uint64_t offset);

// Upload-Offset, then Upload-File-Name once stored, else Upload-Expires.
http::HeaderList progressHeaders(const TusUpload& u, uint64_t offset, const Settled& s);

// Writes the body to the claimed upload and settles it; on failure it has
// answered and returns false. The offset after the write, and how it
// settled, otherwise.
bool writeBodyOrReply(http::Connection& c, const http::HttpRequest& r, uint64_t declared, TusClaim& claim,
                      TusUpload& u, uint64_t& offset, Settled& settled);

}  // namespace files
