#include "http/byte_ranges.h"

#include <cstdio>

#include "http/response.h"

namespace http {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = (unsigned)(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + (int64_t)doe - 719468;
}

void civilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = (unsigned)(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = (int)(doy - (153 * mp + 2) / 5 + 1);
  month = (int)(mp < 10 ? mp + 3 : mp - 9);
  year = (int)(yoe + era * 400 + (month <= 2));
}

bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }

// Reads digits at text[i] into value; false when there are none or the
// value would not fit.
bool readNumber(const std::string& text, size_t& i, uint64_t& value) {
  size_t start = i;
  value = 0;
  while (i < text.size() && isDigit(text[i])) {
    if (value > (UINT64_MAX - 9) / 10) return false;
    value = value * 10 + (uint64_t)(text[i] - '0');
    i++;
  }
  return i > start;
}

// The unit is compared without regard to case.
bool startsWithBytes(const std::string& v) {
  static const char unit[] = "bytes=";
  if (v.size() < 6) return false;
  for (size_t i = 0; i < 6; i++)
    if ((v[i] >= 'A' && v[i] <= 'Z' ? (char)(v[i] + 32) : v[i]) != unit[i]) return false;
  return true;
}

std::string trimmed(const std::string& text) {
  size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  size_t e = text.find_last_not_of(" \t");
  return text.substr(b, e + 1 - b);
}

// Whether If-Range still names the file as it is now: its strong tag
// exactly, or its modification date exactly. A weak tag never matches.
bool ifRangeHolds(const std::string& ifRange, const std::string& etag, uint64_t modifiedSeconds) {
  std::string v = trimmed(ifRange);
  if (v.empty()) return true;
  if (v[0] == '"') return v == etag;
  if (v.compare(0, 2, "W/") == 0) return false;
  uint64_t when = 0;
  return parseHttpDate(v, when) && when == modifiedSeconds;
}

}  // namespace

std::string fileEtag(uint64_t size, uint64_t modifiedSeconds) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "\"%llx-%llx\"", (unsigned long long)size, (unsigned long long)modifiedSeconds);
  return buf;
}

std::string httpDateOf(uint64_t seconds) {
  int64_t days = (int64_t)(seconds / 86400);
  unsigned rest = (unsigned)(seconds % 86400);
  int year, month, day;
  civilFromDays(days, year, month, day);
  int weekday = (int)((days + 4) % 7);  // 1970-01-01 was a Thursday
  return formatHttpDate(weekday, day, month, year, (int)(rest / 3600), (int)(rest / 60 % 60), (int)(rest % 60));
}

bool parseHttpDate(const std::string& text, uint64_t& seconds) {
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  // "Sun, 06 Nov 1994 08:49:37 GMT": 29 characters, fixed positions.
  if (text.size() != 29 || text.compare(3, 2, ", ") != 0 || text[7] != ' ' || text[11] != ' ' ||
      text[16] != ' ' || text[19] != ':' || text[22] != ':' || text.compare(25, 4, " GMT") != 0)
    return false;
  for (size_t at : {5u, 6u, 12u, 13u, 14u, 15u, 17u, 18u, 20u, 21u, 23u, 24u})
    if (!isDigit(text[at])) return false;
  auto two = [&](size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
  int month = 0;
  for (int m = 0; m < 12; m++)
    if (text.compare(8, 3, months[m]) == 0) month = m + 1;
  int day = two(5), year = two(12) * 100 + two(14), hour = two(17), minute = two(20), second = two(23);
  if (month == 0 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60 || year < 1970) return false;
  seconds = (uint64_t)daysFromCivil(year, (unsigned)month, (unsigned)day) * 86400 + (uint64_t)hour * 3600 +
            (uint64_t)minute * 60 + (uint64_t)second;
  return true;
}

RangeChoice chooseRange(const std::string& range, const std::string& ifRange, uint64_t size,
                        const std::string& etag, uint64_t modifiedSeconds) {
  RangeChoice whole;
  std::string v = trimmed(range);
  if (!startsWithBytes(v)) return whole;
  if (!ifRangeHolds(ifRange, etag, modifiedSeconds)) return whole;
  std::string rangeText = trimmed(v.substr(6));
  if (rangeText.find(',') != std::string::npos) return whole;
  size_t i = 0;
  uint64_t first = 0, last = 0;
  RangeChoice part;
  part.kind = RangeKind::Part;
  RangeChoice refused;
  refused.kind = RangeKind::Unsatisfiable;
  if (!rangeText.empty() && rangeText[0] == '-') {
    i = 1;
    if (!readNumber(rangeText, i, last) || i != rangeText.size()) return whole;
    if (last == 0) return refused;
    // An empty file has no bytes to name in a Content-Range: it is sent whole.
    if (size == 0) return whole;
    part.first = last >= size ? 0 : size - last;
    part.last = size - 1;
    return part;
  }
  if (!readNumber(rangeText, i, first) || i >= rangeText.size() || rangeText[i] != '-') return whole;
  i++;
  bool open = i == rangeText.size();
  if (!open && (!readNumber(rangeText, i, last) || i != rangeText.size() || last < first)) return whole;
  if (first >= size) return refused;
  part.first = first;
  part.last = open || last >= size ? size - 1 : last;
  return part;
}

std::string contentRange(const RangeChoice& choice, uint64_t size) {
  if (choice.kind == RangeKind::Part)
    return "bytes " + std::to_string(choice.first) + "-" + std::to_string(choice.last) + "/" + std::to_string(size);
  return "bytes */" + std::to_string(size);
}

}  // namespace http
