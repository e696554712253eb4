#include "net/datagrams.h"

#include "host/toolbox.h"
#include "net/block_lock.h"
#include "net/names.h"
#include "net/status.h"
#include "net/transfer.h"

namespace nimbus {
namespace {

using platform::Calls;
using platform::InternetAddress;

constexpr int32_t kLargestPort = 65535;

void DisposeRecord(StreamRecord* record) {
  if (record->pendingOutput.handle != nullptr) DisposeHandle(record->pendingOutput.handle);
  DisposePtr(reinterpret_cast<Ptr>(record));
}

}  // namespace

StreamRecord* OpenDatagram(int32_t localPort, uint32_t localAddress) {
  auto* record = reinterpret_cast<StreamRecord*>(NewPtrClear(sizeof(StreamRecord)));
  if (record == nullptr) return nullptr;
  record->socket = Calls().socket(platform::kAfInet, platform::kSockDgram, platform::kIpProtoUdp);
  if (record->socket == platform::kInvalidSocket) {
    DisposeRecord(record);
    return nullptr;
  }
  uint32_t nonBlocking = 1;
  Calls().ioctlsocket(record->socket, platform::kFionbio, &nonBlocking);
  record->kind = kKindDatagram;
  if (localPort >= 1 && localPort <= kLargestPort) {
    const platform::SockAddrIn local = InternetAddress(localAddress, uint16_t(localPort));
    if (Calls().bind(record->socket, &local) != 0) {
      Calls().closesocket(record->socket);
      DisposeRecord(record);
      return nullptr;
    }
  }
  return record;
}

int16_t SendDatagram(Slot slot, const FourDText& text, uint32_t address, int32_t port) {
  if (slot == nullptr || *slot == nullptr) return kFailed;
  if (IsUnspecifiedAddress(address)) return StatusResult(platform::kWsaEAddrNotAvail);
  const platform::SockAddrIn to = InternetAddress(address, uint16_t(port));
  const int32_t length = UsableLength(text);
  static const char kNothing = 0;
  BlockLock lock(length > 0 ? text.handle : nullptr);
  const char* data = length > 0 ? *text.handle : &kNothing;
  const int32_t sent = Calls().sendto((*slot)->socket, data, length, 0, &to);
  return sent == length ? 0 : StatusResult(Calls().lastError());
}

int16_t ReceiveDatagram(Slot slot, FourDText& text, DatagramSender* sender) {
  if (slot == nullptr || *slot == nullptr) return kFailed;
  // Received aside first: a failed receive must not cut or stretch the caller's Text. Only
  // the n bytes received are copied (on a TCP stream's reference, the stream's next bytes).
  char buffer[kLargestDatagram];
  platform::SockAddrIn from{};
  // Only a datagram endpoint's resets are stale reports: a TCP stream's reset is its end.
  const bool datagram = (*slot)->kind == kKindDatagram;
  int32_t n = Calls().recvfrom((*slot)->socket, buffer, kLargestDatagram, 0, &from);
  for (int32_t retry = 0; datagram && retry < kConnResetRetries && n < 0 &&
                          Calls().lastError() == platform::kWsaEConnReset;
       ++retry) {
    n = Calls().recvfrom((*slot)->socket, buffer, kLargestDatagram, 0, &from);
  }
  if (n < 0 || n > kLargestDatagram) return StatusResult(Calls().lastError());
  if (text.handle == nullptr) {
    Handle block = NewHandle(n);
    if (block == nullptr) return kFailed;
    text.handle = block;
  } else {
    const int8_t saved = HGetState(text.handle);
    HUnlock(text.handle);
    SetHandleSize(text.handle, n);
    const bool resized = MemError() == noErr && GetHandleSize(text.handle) == n;
    HSetState(text.handle, saved);
    if (!resized) return kFailed;
  }
  BlockMove(buffer, *text.handle, n);
  text.length = int16_t(n);
  // A TCP stream's bytes come from its one peer: like Winsock, report no sender for them.
  if (sender != nullptr && datagram) {
    sender->address = platform::NetToHost32(from.address);
    sender->port = platform::NetToHost16(from.port);
  }
  return 0;
}

int16_t CloseDatagram(Slot slot) {
  if (slot == nullptr || *slot == nullptr) return 0;
  StreamRecord* record = *slot;
  // Handed a TCP stream, it releases it as StreamRelease would (a waiting stream leaves its
  // listen queue), but it counts nothing: no DatagramClose does.
  if (record->kind != kKindDatagram) return DiscardStream(slot);
  int16_t status = 0;
  if (record->socket != platform::kInvalidSocket && Calls().closesocket(record->socket) != 0) {
    status = StatusResult(Calls().lastError());
  }
  DisposeRecord(record);
  *slot = nullptr;
  return status;
}

}  // namespace nimbus
