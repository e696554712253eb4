// TickCount: sixtieths of a second since the library was loaded, from a monotonic clock.
#include <chrono>

#include "host/toolbox.h"

namespace {

using Clock = std::chrono::steady_clock;

const Clock::time_point kStart = Clock::now();

}  // namespace

extern "C" TOOLBOX_API uint32_t TickCount(void) {
  auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - kStart);
  // 60 ticks a second; wraps at 32 bits like the classic counter.
  return uint32_t(uint64_t(elapsed.count()) * 60 / 1000000000);
}
