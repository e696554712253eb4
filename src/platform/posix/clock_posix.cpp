#include "platform/clock.h"

namespace nimbus::platform {
uint32_t MillisecondClock() { return 0; }
int32_t ZoneBaseOffsetSeconds() { return 0; }
}  // namespace nimbus::platform
