#include <windows.h>

#include "sys/clock.h"

namespace sys {

static CalendarTime fromSystemTime(const SYSTEMTIME& t) {
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, t.wDayOfWeek};
}

CalendarTime localNow() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return fromSystemTime(t);
}

CalendarTime utcNow() {
  SYSTEMTIME t;
  GetSystemTime(&t);
  return fromSystemTime(t);
}

}  // namespace sys
