#include "files/tus_body.h"

#include <memory>

#include "files/upload.h"
#include "sys/partial_file.h"

namespace files {

namespace {

struct BodyWriter {
  sys::FileHandle file;
  char* buffer;
  size_t used = 0;
  bool failed = false;
};

void flush(BodyWriter& w) {
  if (w.used == 0 || w.failed) return;
  w.failed = !sys::appendToPartial(w.file, w.buffer, w.used);
  w.used = 0;
}

// Reads the rest of the body into the buffer, writing it out whenever it is
// full or the client pauses.
BodyOutcome readRest(http::Connection& c, uint64_t left, const TusClaim& claim, BodyWriter& w) {
  int idleMs = 0;
  while (left > 0 && !w.failed) {
    if (!stillClaimed(claim)) return BodyOutcome::TakenOver;
    size_t room = (size_t)kUploadFill - w.used;
    int want = left < room ? (int)left : (int)room;
    int n = http::readWithin(c, w.buffer + w.used, want, kTakeOverPollMs);
    if (n == http::kNothingYet) {
      idleMs += kTakeOverPollMs;
      if (idleMs >= http::kIdleReadMs) return BodyOutcome::ReadFailed;
      flush(w);
      continue;
    }
    if (n <= 0) return BodyOutcome::ReadFailed;
    idleMs = 0;
    w.used += (size_t)n;
    left -= (uint64_t)n;
    if (w.used == (size_t)kUploadFill) flush(w);
  }
  return w.failed ? BodyOutcome::WriteFailed : BodyOutcome::Whole;
}

}  // namespace

BodyOutcome appendBody(http::Connection& c, const http::HttpRequest& r, uint64_t declared, const TusClaim& claim,
                       const TusUpload& u, uint64_t& offset) {
  uint64_t size = 0;
  sys::FileHandle f = sys::openPartialForAppend(partialPathOf(u), size);
  if (f == sys::kNoFile) {
    offset = u.offset;
    return BodyOutcome::WriteFailed;
  }
  if (size != u.offset) {
    sys::closeFile(f);
    offset = size;
    return BodyOutcome::OffsetMoved;
  }
  http::continueIfExpected(c, r);
  // Bytes past the declared body belong to nobody.
  size_t prefix = r.bodyPrefix.size() < declared ? r.bodyPrefix.size() : (size_t)declared;
  BodyOutcome outcome = BodyOutcome::Whole;
  if (prefix && !sys::appendToPartial(f, r.bodyPrefix.data(), prefix)) outcome = BodyOutcome::WriteFailed;
  if (outcome == BodyOutcome::Whole && declared > prefix) {
    std::unique_ptr<char[]> buffer(new char[kUploadFill]);
    BodyWriter w{f, buffer.get()};
    outcome = readRest(c, declared - prefix, claim, w);
    flush(w);
    if (w.failed) outcome = BodyOutcome::WriteFailed;
  }
  if (!sys::fileSize(f, offset)) offset = u.offset;
  sys::closeFile(f);
  return outcome;
}

}  // namespace files
