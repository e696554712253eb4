#include <cstring>

#include "platform/sockets.h"

namespace nimbus::platform {

namespace {
SocketCalls& Table() {
  static SocketCalls table = SystemSocketCalls();
  return table;
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
