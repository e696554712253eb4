// Clocks and the local zone on Windows.
#include <windows.h>
// mmsystem.h needs windows.h first.
#include <mmsystem.h>

#include <cstdint>

#include "platform/clock.h"

namespace nimbus::platform {

uint32_t MillisecondClock() {
  return uint32_t(timeGetTime());
}

int32_t ZoneBaseOffsetSeconds() {
  TIME_ZONE_INFORMATION zone{};
  // Whether standard or daylight time is in force does not matter: only the base bias is
  // used, so the offset is the same all year.
  if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return 0;
  // GMT = local time + bias (minutes); the offset is east-positive seconds.
  return -int32_t(zone.Bias) * 60;
}

}  // namespace nimbus::platform
