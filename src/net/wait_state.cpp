// StreamWaitState: poll, yield, until the stream reaches a state, a time-out passes, or the
// stream goes away.
#include <algorithm>

#include "host/toolbox.h"
#include "net/status.h"
#include "net/stream_identity.h"
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
  // The slot's address stays valid across yields; what it holds may not: a stream that
  // another process released (a new one may have taken the slot) is gone for this wait.
  const HeldStream stream(slot);
  for (;;) {
    const int32_t state = QueryStream(slot, kQueryState);
    if (!stream.YieldAndCheck()) return kFailed;
    if (Met(target, state) || state < 0) return state;
    if (hasDeadline && int32_t(TickCount() - deadline) > 0) return state;
  }
}

}  // namespace nimbus
