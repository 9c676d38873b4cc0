#include <sys/time.h>
#include <time.h>

#include "sys/clock.h"

namespace sys {

static CalendarTime fromTm(const struct tm& t, long usec) {
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, (int)(usec / 1000),
          t.tm_wday};
}

CalendarTime localNow() {
  timeval tv;
  gettimeofday(&tv, nullptr);
  struct tm t;
  localtime_r(&tv.tv_sec, &t);
  return fromTm(t, tv.tv_usec);
}

CalendarTime utcNow() {
  timeval tv;
  gettimeofday(&tv, nullptr);
  struct tm t;
  gmtime_r(&tv.tv_sec, &t);
  return fromTm(t, tv.tv_usec);
}

}  // namespace sys
