// The one failure answer of the network routines. Winsock error codes stay inside the
// package: whatever went wrong, 4D sees -1 and reads the stream's state to learn more.
#pragma once

#include <cstdint>

namespace nimbus {

constexpr int16_t kFailed = -1;

// -1 for every failure status (a Winsock error code, or -1).
constexpr int16_t StatusResult(int32_t /*status*/) {
  return kFailed;
}

}  // namespace nimbus
