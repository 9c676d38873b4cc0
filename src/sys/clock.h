// Clocks: local time for log stamps, UTC for the Date header, and nowSeconds,
// the one wall clock behind every expiry.
#pragma once
#include <cstdint>

namespace sys {

struct CalendarTime {
  int year, month, day;  // month 1-12
  int hour, minute, second, millisecond;
  int weekday;  // 0 = Sunday
};

CalendarTime localNow();
CalendarTime utcNow();

// Seconds since 1970-01-01 00:00 UTC.
uint64_t nowSeconds();

// Tests move the clock instead of sleeping; 0 returns to the real clock.
void setNowForTests(uint64_t seconds);

}  // namespace sys
