// Clocks and the local zone on POSIX systems.
#include <time.h>

#include <cstdint>

#include "platform/clock.h"

namespace nimbus::platform {

uint32_t MillisecondClock() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  // Keep the low 32 bits: the counter wraps at 2^32 ms like the Windows one.
  const uint64_t milliseconds = uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
  return uint32_t(milliseconds);
}

namespace {

// The zone's offset at noon UTC of the given month (1-12) of this year, and whether daylight
// saving is in force then.
struct ZoneAt {
  long offset;
  bool daylight;
};

ZoneAt ZoneInMonth(int year, int month) {
  tm when{};
  when.tm_year = year - 1900;
  when.tm_mon = month - 1;
  when.tm_mday = 1;
  when.tm_hour = 12;
  const time_t instant = timegm(&when);
  tm local{};
  if (localtime_r(&instant, &local) == nullptr) return ZoneAt{0, false};
  return ZoneAt{local.tm_gmtoff, local.tm_isdst > 0};
}

}  // namespace

int32_t ZoneBaseOffsetSeconds() {
  // Read TZ afresh: a change of the zone takes effect at the next call.
  tzset();
  const time_t now = time(nullptr);
  tm today{};
  gmtime_r(&now, &today);
  const int year = today.tm_year + 1900;
  // January and July: one of them is standard time in either hemisphere.
  const ZoneAt january = ZoneInMonth(year, 1);
  if (!january.daylight) return int32_t(january.offset);
  const ZoneAt july = ZoneInMonth(year, 7);
  if (!july.daylight) return int32_t(july.offset);
  // Daylight saving all year: the C library's standard offset (seconds west).
  return int32_t(-timezone);
}

}  // namespace nimbus::platform
