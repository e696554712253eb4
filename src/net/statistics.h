// The package statistics: thirteen longint counters for the whole package, zeroed when the
// Winsock session starts and answered by StreamState for references -6 to -18.
#pragma once

#include <cstdint>

namespace nimbus {

enum Counter : int32_t {
  OpensStarted = 1,
  ConnectsCompleted = 2,
  ConnectionsAccepted = 3,
  ClosesRequested = 4,
  ReleasesClosing = 5,
  BytesReceived = 6,
  BytesSent = 7,
  kCounterCount = 13,
};

void ResetStatistics();
void AddToCounter(Counter counter, int32_t amount);
// Counter number 1..13; 0 for any other number.
int32_t CounterValue(int32_t number);

}  // namespace nimbus
