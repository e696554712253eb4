// StreamWaitState: poll, yield, until the stream reaches a state, a time-out passes, or the
// stream goes away.
#include <algorithm>

#include "host/toolbox.h"
#include "net/transfer.h"

namespace nimbus {
namespace {

constexpr int64_t kTicksPerSecond = 60;
// Deadlines are compared by the sign of their difference from the tick count, which is
// exact while they lie less than 2^31 ticks (over a year) ahead.
constexpr int64_t kLongestWaitTicks = 0x7FFFFFFF;

bool Met(int16_t target, int32_t state) {
  return target < 0 ? state < 0 : state >= target;
}

}  // namespace

int32_t WaitState(Slot slot, int16_t target, int32_t timeoutSeconds) {
  if (target == 0) target = StateEstablished;
  const bool hasDeadline = timeoutSeconds > 0;
  const uint32_t deadline =
      hasDeadline ? TickCount() + uint32_t(std::min<int64_t>(
                                      int64_t(timeoutSeconds) * kTicksPerSecond, kLongestWaitTicks))
                  : 0;
  for (;;) {
    // The slot's address stays valid across yields; what it holds may not.
    const int32_t state = QueryStream(slot, kQueryState);
    YieldToHost();
    if (Met(target, state) || state < 0) return state;
    if (hasDeadline && int32_t(TickCount() - deadline) > 0) return state;
  }
}

}  // namespace nimbus
