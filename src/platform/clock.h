// Clocks and the local zone.
#pragma once

#include <cstdint>

namespace nimbus::platform {

// The system's millisecond counter (timeGetTime): wraps at 2^32.
uint32_t MillisecondClock();

// The local zone's base offset from GMT in seconds, east-positive, ignoring daylight saving.
int32_t ZoneBaseOffsetSeconds();

}  // namespace nimbus::platform
