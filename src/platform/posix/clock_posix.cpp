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

// The zone is sampled at noon UTC on the 1st and the 15th of every month of this year.
constexpr int kSamplesPerMonth = 2;
constexpr int kSampleDays[kSamplesPerMonth] = {1, 15};
constexpr int kSamples = 12 * kSamplesPerMonth;
// An offset kept for at least this many samples (about three months) is a season's; a shift
// that lasts weeks is not.
constexpr int kSeasonSamples = 6;

struct ZoneAt {
  long offset;
  bool daylight;
};

ZoneAt ZoneOn(int year, int month, int day) {
  tm when{};
  when.tm_year = year - 1900;
  when.tm_mon = month - 1;
  when.tm_mday = day;
  when.tm_hour = 12;
  const time_t instant = timegm(&when);
  tm local{};
  if (localtime_r(&instant, &local) == nullptr) return ZoneAt{0, false};
  return ZoneAt{local.tm_gmtoff, local.tm_isdst > 0};
}

}  // namespace

// Windows takes a zone's winter time as its standard time and reports its offset as the base
// bias all year. The zone database does not always mark winter as standard: Europe/Dublin
// marks its summer (+1) as standard and its winter (GMT) as "daylight" time an hour behind.
// Either way summer time is ahead of winter time, so the base offset is the smaller of the
// offsets the zone keeps for a season. An hour back for a few weeks (Morocco during Ramadan)
// is no season and does not count.
int32_t ZoneBaseOffsetSeconds() {
  // Read TZ afresh: a change of the zone takes effect at the next call.
  tzset();
  const time_t now = time(nullptr);
  tm today{};
  gmtime_r(&now, &today);
  const int year = today.tm_year + 1900;

  ZoneAt samples[kSamples];
  bool anyStandard = false;
  for (int month = 1; month <= 12; ++month) {
    for (int d = 0; d < kSamplesPerMonth; ++d) {
      ZoneAt& sample = samples[(month - 1) * kSamplesPerMonth + d];
      sample = ZoneOn(year, month, kSampleDays[d]);
      anyStandard = anyStandard || !sample.daylight;
    }
  }
  // Daylight saving all year: the C library's standard offset (seconds west).
  if (!anyStandard) return int32_t(-timezone);

  bool found = false;
  long base = samples[0].offset;
  for (const ZoneAt& candidate : samples) {
    int kept = 0;
    for (const ZoneAt& sample : samples) kept += sample.offset == candidate.offset;
    if (kept >= kSeasonSamples && (!found || candidate.offset < base)) {
      base = candidate.offset;
      found = true;
    }
  }
  return int32_t(base);  // no season at all (a zone that keeps changing): January's offset
}

}  // namespace nimbus::platform
