// Millisecond timers on the system's wrapping 32-bit millisecond clock.
#include "dates/dates.h"
#include "platform/clock.h"

namespace nimbus {

int32_t TimerStart() {
  return int32_t(platform::MillisecondClock());
}

int32_t TimerElapsed(int32_t start) {
  return ElapsedMilliseconds(platform::MillisecondClock(), uint32_t(start));
}

int32_t ElapsedMilliseconds(uint32_t now, uint32_t start) {
  return int32_t(now - start);
}

}  // namespace nimbus
