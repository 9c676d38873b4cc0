// Receiving a multipart body from a client and storing its file parts in a
// folder, each one whole or not at all.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "files/multipart.h"

namespace files {

// Body bytes gathered before the parser looks at them: file data then goes
// to the disk in writes of about this size straight from the parser's
// buffer, and a read drains as much of the socket as has room (TLS hands
// out one 16 KiB record per read, so a fill takes several there).
constexpr int kUploadFill = 262144;

// One read from the client: bytes read, or 0 or less when the stream ended,
// failed or stayed idle too long.
using ReadFn = std::function<int(char* buffer, int capacity)>;

struct UploadReader {
  ReadFn read;
  uint64_t bytesRead = 0;  // body bytes taken so far, the body prefix included
  uint64_t declared = 0;   // Content-Length
  bool failed = false;     // a read failed; the bytes before it are still parsed
  std::string error;
};

// Gives the parser the bytes it asked for: reads until kUploadFill more bytes
// arrived or the declared body is all read, or, once it is exhausted, the
// news that no more will come. False with "Upload aborted" when the client
// stops sending early (after the bytes that did arrive were handed over).
bool fillBuffer(UploadReader& reader, MultipartParser& parser);

// Parses the body (bodyPrefix, then reads up to the declared length) and
// stores each file part under its sanitised name in folder, creating the
// folder when it is missing. A part is written to a temporary file that
// replaces any file of that name only once the part is complete. Parts
// completed before a failure stay; the one in progress leaves nothing.
bool receiveMultipart(const ReadFn& read, const std::string& bodyPrefix, const std::string& folder,
                      const std::string& boundary, uint64_t declared, std::string& error);

}  // namespace files
