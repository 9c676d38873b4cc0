// Appending a PATCH body (or a creation's body) to a claimed upload's
// partial file, in large pieces, until the body ends, the connection fails,
// or a newer request takes the upload over.
#pragma once
#include <cstdint>

#include "files/tus_table.h"
#include "http/connection.h"
#include "http/request.h"

namespace files {

// How often a writer waiting for bytes looks whether it has been taken over,
// and how long a newcomer waits for it to let go.
constexpr int kTakeOverPollMs = 100;
constexpr int kTakeOverWaitMs = 5000;

enum class BodyOutcome { Whole, TakenOver, ReadFailed, WriteFailed, OffsetMoved };

// Writes the declared body bytes at the upload's offset; every byte that
// arrived is kept whatever the outcome, and offset ends as the partial
// file's size. OffsetMoved: the file's size is not the recorded offset, and
// nothing was written.
BodyOutcome appendBody(http::Connection& c, const http::HttpRequest& r, uint64_t declared, const TusClaim& claim,
                       const TusUpload& u, uint64_t& offset);

}  // namespace files
