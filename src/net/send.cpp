// Sending: the 1024-byte send loop, pending output and its flush, buffered sends.
#include <algorithm>

#include "host/toolbox.h"
#include "net/block_lock.h"
#include "net/statistics.h"
#include "net/status.h"
#include "net/stream_identity.h"
#include "net/transfer.h"

namespace nimbus {
namespace {

using platform::Calls;

// Sends length bytes at data in sends of at most 1024 bytes. A full socket buffer is waited
// out; every attempt is followed by a yield, after which the stream must still be there.
int16_t SendLoop(const HeldStream& stream, const char* data, int32_t length, bool counted) {
  StreamRecord* record = stream.Record();
  if (record == nullptr) return kFailed;
  while (length > 0) {
    const int32_t sent = Calls().send(record->socket, data, std::min(length, kLargestSend), 0);
    if (sent == platform::kSocketError) {
      const int32_t code = Calls().lastError();
      if (code != platform::kWsaEWouldBlock) return StatusResult(code);
    } else {
      data += sent;
      length -= sent;
      if (counted) {
        record->bytesSent = int32_t(uint32_t(record->bytesSent) + uint32_t(sent));
        AddToCounter(BytesSent, sent);
      }
    }
    if (!stream.YieldAndCheck()) return kFailed;
  }
  return 0;
}

// Appends the text's first `length` bytes to the pending output, creating its block on
// first use. False when the block cannot be had or grown, or when the pending output would
// pass a Text's 32767 bytes; nothing changes then.
bool AppendPending(StreamRecord* record, const FourDText& text, int32_t length) {
  FourDText& pending = record->pendingOutput;
  const int32_t old = std::max<int32_t>(pending.length, 0);
  if (old + length > kMaxTextLength) return false;
  if (pending.handle == nullptr) {
    pending.handle = NewHandle(0);
    if (pending.handle == nullptr) return false;
    pending.length = 0;
  }
  SetHandleSize(pending.handle, old + length);
  if (MemError() != noErr || GetHandleSize(pending.handle) != old + length) return false;
  BlockMove(*text.handle, *pending.handle + old, length);
  pending.length = int16_t(old + length);
  return true;
}

bool ShouldSendNow(int16_t flag, int32_t pendingLength) {
  if (flag == 0) return true;
  if (flag > kLargestBufferingThreshold && pendingLength >= flag) return true;
  return pendingLength > kPendingSendAbove;
}

}  // namespace

int32_t UsableLength(const FourDText& text) {
  if (text.handle == nullptr || text.length <= 0) return 0;
  return std::min<int32_t>(text.length, GetHandleSize(text.handle));
}

int16_t SendTextRecord(const HeldStream& stream, const FourDText& text) {
  if (!stream.Present()) return 0;
  const int32_t length = UsableLength(text);
  if (length <= 0) return 0;
  BlockLock lock(text.handle);
  return SendLoop(stream, *text.handle, length, true);
}

int16_t SendTextRecord(Slot slot, const FourDText& text) {
  return SendTextRecord(HeldStream(slot), text);
}

int32_t SendBytes(const HeldStream& stream, const void* data, int32_t length) {
  StreamRecord* record = stream.Record();
  if (record == nullptr) return kFailed;
  if (record->pendingOutput.length > 0) {
    FlushOutput(stream);
    if (!stream.Present()) return kFailed;
  }
  if (length <= 0) return 0;
  return SendLoop(stream, static_cast<const char*>(data), length, false);
}

int32_t SendBytes(Slot slot, const void* data, int32_t length) {
  return SendBytes(HeldStream(slot), data, length);
}

int16_t FlushOutput(const HeldStream& stream) {
  StreamRecord* record = stream.Record();
  if (record == nullptr) return 0;
  FourDText pending = record->pendingOutput;
  if (pending.handle == nullptr || pending.length <= 0) {
    record->pendingOutput.length = 0;
    return 0;
  }
  // Detached while it is sent, so that another process buffering on this stream during a
  // yield starts a new block instead of growing (or emptying) the one being sent.
  record->pendingOutput = FourDText{0, nullptr};
  const int16_t status = SendTextRecord(stream, pending);
  SetHandleSize(pending.handle, 0);
  if (stream.Present() && record->pendingOutput.handle == nullptr) {
    record->pendingOutput.handle = pending.handle;  // kept for the next buffering
  } else {
    DisposeHandle(pending.handle);  // the record was released, or has a new block
  }
  return status;
}

int16_t BufferedSend(const HeldStream& stream, const FourDText* text, int16_t flag) {
  StreamRecord* record = stream.Record();
  if (record == nullptr) return 0;
  int32_t length = text != nullptr ? UsableLength(*text) : 0;
  // An empty text asks for what is pending to leave now; a negative flag sends at once too
  // (buffering it only behind pending output would drop it when nothing is pending).
  if (length == 0 || flag < 0) flag = 0;
  if (length > 0 && (flag > 0 || record->pendingOutput.length > 0)) {
    // Pending output that the text would take past 32000 bytes leaves first, once: the
    // text then joins whatever is pending (nothing, unless another process buffered on
    // this stream during the flush).
    if (record->pendingOutput.handle != nullptr &&
        record->pendingOutput.length + length > kPendingFlushLimit) {
      const int16_t flushed = FlushOutput(stream);
      if (!stream.Present()) return kFailed;
      if (flushed != 0) return kFailed;
    }
    if (AppendPending(record, *text, length)) {
      length = 0;  // the text is pending now
    } else {
      flag = 0;  // no room to buffer it: it leaves at once, after what is pending
    }
  }
  if (!ShouldSendNow(flag, record->pendingOutput.length)) return record->pendingOutput.length;
  if (record->pendingOutput.length > 0) {
    // A failed flush means a failed connection: the text is not sent after it.
    const int16_t flushed = FlushOutput(stream);
    if (!stream.Present()) return kFailed;
    if (flushed != 0 || length == 0) return flushed;
  }
  if (length == 0) return 0;
  const FourDText rest{int16_t(length), text->handle};
  return SendTextRecord(stream, rest);
}

int16_t BufferedSend(Slot slot, const FourDText* text, int16_t flag) {
  return BufferedSend(HeldStream(slot), text, flag);
}

}  // namespace nimbus
