#include "net/statistics.h"

namespace nimbus {
namespace {
int32_t gCounters[kCounterCount + 1];  // index 0 unused
}

void ResetStatistics() {
  for (int32_t& counter : gCounters) counter = 0;
}

void AddToCounter(Counter counter, int32_t amount) {
  // Counters wrap like the 32-bit longints 4D reads them as.
  gCounters[counter] = int32_t(uint32_t(gCounters[counter]) + uint32_t(amount));
}

int32_t CounterValue(int32_t number) {
  if (number < 1 || number > kCounterCount) return 0;
  return gCounters[number];
}

}  // namespace nimbus
