// Receiving a multipart body from a client and storing its file parts in a
// folder, each one whole or not at all.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "files/multipart.h"

namespace files {

constexpr int kUploadReadPiece = 65536;          // bytes asked of one read
constexpr size_t kUploadWriteBuffer = 1048576;  // file data gathered per write

// One read from the client: bytes read, or 0 or less when the stream ended,
// failed or stayed idle too long.
using ReadFn = std::function<int(char* buffer, int capacity)>;

struct UploadReader {
  ReadFn read;
  uint64_t bytesRead = 0;  // body bytes taken so far, the body prefix included
  uint64_t declared = 0;   // Content-Length
  std::string error;
};

// Gives the parser the bytes it asked for: one read of at most
// kUploadReadPiece bytes, or, once the declared body is exhausted, the
// news that no more will come. False with "Upload aborted" when the client
// stops sending early.
bool fillBuffer(UploadReader& reader, MultipartParser& parser);

// Parses the body (bodyPrefix, then reads up to the declared length) and
// stores each file part under its sanitised name in folder, creating the
// folder when it is missing. A part is written to a temporary file that
// replaces any file of that name only once the part is complete. Parts
// completed before a failure stay; the one in progress leaves nothing.
bool receiveMultipart(const ReadFn& read, const std::string& bodyPrefix, const std::string& folder,
                      const std::string& boundary, uint64_t declared, std::string& error);

}  // namespace files
