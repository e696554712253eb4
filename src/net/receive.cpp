// Receiving into a Text, and the count of bytes waiting.
#include "host/toolbox.h"
#include "net/statistics.h"
#include "net/status.h"
#include "net/transfer.h"

namespace nimbus {
namespace {

using platform::Calls;

int32_t ReceiveSize(Slot slot, int16_t largest) {
  int32_t size = BytesAvailable(slot);
  if (size <= 0 || size > kLargestReceive) size = kLargestReceive;
  if (largest > 0 && largest < size) size = largest;
  return size;
}

// What a receive of n bytes (or a failure) tells about the connection.
int32_t NoteReceiveOutcome(StreamRecord* record, int32_t n) {
  if (n > 0) {
    AddToCounter(BytesReceived, n);
    record->lastReceiveSize = n;
    return n;
  }
  if (n == 0) {
    PollStream(record, StateClosed);  // the peer closed its side
    return 0;
  }
  switch (Calls().lastError()) {
    case platform::kWsaEWouldBlock:
      return kFailed;  // nothing to read yet
    case platform::kWsaEConnAborted:
      PollStream(record, StateBroken);
      return kFailed;
    case platform::kWsaEConnReset:
      PollStream(record, StateClosed);
      return kFailed;
    default:
      return StatusResult(Calls().lastError());
  }
}

}  // namespace

int32_t ReceiveIntoText(const HeldStream& stream, FourDText& text, int16_t largest) {
  StreamRecord* record = stream.Record();
  if (record == nullptr) return kFailed;
  // Buffered output leaves before a reply is read; the flush yields, and the stream may be
  // gone afterwards.
  if (record->pendingOutput.length > 0) {
    FlushOutput(stream);
    if (!stream.Present()) return kFailed;
  }

  const int32_t size = ReceiveSize(stream.slot(), largest);
  if (text.handle == nullptr) {
    Handle block = NewHandle(size);
    if (block == nullptr) return kFailed;
    text.handle = block;
    text.length = 0;
  }
  const int8_t saved = HGetState(text.handle);
  HUnlock(text.handle);
  SetHandleSize(text.handle, size);
  if (MemError() != noErr || GetHandleSize(text.handle) != size) {
    HSetState(text.handle, saved);
    return kFailed;  // no room: the stream is left as it was
  }
  HLock(text.handle);
  const int32_t n = Calls().recv(record->socket, *text.handle, size, 0);
  const int32_t received = n > 0 ? n : 0;
  text.length = int16_t(received);
  HSetState(text.handle, saved);
  if (received != size) SetHandleSize(text.handle, received);  // shrinking always succeeds
  return NoteReceiveOutcome(record, n);
}

int32_t ReceiveIntoText(Slot slot, FourDText& text, int16_t largest) {
  return ReceiveIntoText(HeldStream(slot), text, largest);
}

int32_t BytesAvailable(Slot slot) {
  if (slot == nullptr || *slot == nullptr) return 0;
  uint32_t count = 0;
  if (Calls().ioctlsocket((*slot)->socket, platform::kFionread, &count) != 0) return 0;
  return int32_t(count);
}

}  // namespace nimbus
