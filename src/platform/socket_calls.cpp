#include <cstring>

#include "platform/sockets.h"

namespace nimbus::platform {

namespace {
// Plain namespace-scope data, filled on first use: no function-local static, whose guard
// would pull a threads library into the DLL, and no constructor run at load.
SocketCalls gTable{};
bool gFilled = false;

SocketCalls& Table() {
  if (!gFilled) {
    gTable = SystemSocketCalls();
    gFilled = true;
  }
  return gTable;
}
}  // namespace

SocketCalls& Calls() {
  return Table();
}

void ResetSocketCalls() {
  Table() = SystemSocketCalls();
}

uint32_t HostToNet32(uint32_t value) {
  uint8_t bytes[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8),
                      uint8_t(value)};
  uint32_t result;
  std::memcpy(&result, bytes, 4);
  return result;
}

uint16_t HostToNet16(uint16_t value) {
  uint8_t bytes[2] = {uint8_t(value >> 8), uint8_t(value)};
  uint16_t result;
  std::memcpy(&result, bytes, 2);
  return result;
}

SockAddrIn InternetAddress(uint32_t address, uint16_t port) {
  SockAddrIn result{};
  result.family = uint16_t(kAfInet);
  result.port = HostToNet16(port);
  result.address = HostToNet32(address);
  return result;
}

}  // namespace nimbus::platform
