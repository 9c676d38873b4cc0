// Byte ranges of a file answer: its validators (a strong tag from size and
// modification time, the Last-Modified date), and which part of the file a
// request's Range and If-Range ask for.
#pragma once
#include <cstdint>
#include <string>

namespace http {

// A strong entity tag for a file of this size and modification time
// (seconds since 1970 UTC), quotes included.
std::string fileEtag(uint64_t size, uint64_t modifiedSeconds);

// The date as an HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT").
std::string httpDateOf(uint64_t seconds);
// Reads an HTTP date in the preferred fixed form; false for anything else.
bool parseHttpDate(const std::string& text, uint64_t& seconds);

enum class RangeKind {
  Whole,          // send the whole file: no range, ignored range or stale If-Range
  Part,           // 206 with [first, last]
  Unsatisfiable,  // 416
};

struct RangeChoice {
  RangeKind kind = RangeKind::Whole;
  uint64_t first = 0;
  uint64_t last = 0;  // inclusive
};

// What to send for a file of this size, given the request's Range and
// If-Range values (empty when absent). Only one range is honoured: a
// header with several, a unit other than bytes or a malformed one gets the
// whole file, as does If-Range naming another tag or date.
RangeChoice chooseRange(const std::string& range, const std::string& ifRange, uint64_t size,
                        const std::string& etag, uint64_t modifiedSeconds);

// "bytes first-last/size" for a part, "bytes */size" for a 416.
std::string contentRange(const RangeChoice& choice, uint64_t size);

}  // namespace http
