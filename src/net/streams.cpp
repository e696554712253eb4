// Stream records: creation, the state machine's poll, close, release and the queries.
#include "net/streams.h"

#include <algorithm>

#include "host/toolbox.h"
#include "net/listen_queue.h"
#include "net/session.h"
#include "net/statistics.h"
#include "net/status.h"
#include "net/stream_identity.h"
#include "net/transfer.h"

namespace nimbus {
namespace {

using platform::Calls;
using platform::kInvalidSocket;
using platform::SelectSet;

void SetOption(platform::Socket socket, int32_t name, int32_t value) {
  Calls().setsockopt(socket, platform::kSolSocket, name, &value, sizeof value);
}

// A connect under way: writable means connected, the exception set means it failed.
void PollConnecting(StreamRecord* record) {
  if (Calls().selectOne(record->socket, SelectSet::kWrite) == 1) {
    record->state = StateEstablished;
    AddToCounter(ConnectsCompleted, 1);
    if (CachedLocalAddress() == 0) {
      platform::SockAddrIn local{};
      if (Calls().getsockname(record->socket, &local) == 0) {
        SetCachedLocalAddress(platform::NetToHost32(local.address));
      }
    }
    return;
  }
  if (Calls().selectOne(record->socket, SelectSet::kException) == 1) record->state = StateBroken;
}

// An established stream breaks on an exception condition (out-of-band data included) and
// when select itself fails.
void PollEstablished(StreamRecord* record) {
  if (Calls().selectOne(record->socket, SelectSet::kException) != 0) record->state = StateBroken;
}

}  // namespace

StreamRecord* NewStreamRecord(int32_t bufferSize) {
  auto* record = reinterpret_cast<StreamRecord*>(NewPtrClear(sizeof(StreamRecord)));
  if (record == nullptr) return nullptr;
  record->socket = Calls().socket(platform::kAfInet, platform::kSockStream, platform::kIpProtoTcp);
  if (record->socket == kInvalidSocket) {
    DisposePtr(reinterpret_cast<Ptr>(record));
    return nullptr;
  }
  const int32_t size = std::clamp(bufferSize, kSmallestSocketBuffer, kLargestSocketBuffer);
  SetOption(record->socket, platform::kSoSndBuf, size);
  SetOption(record->socket, platform::kSoRcvBuf, size);
  uint32_t nonBlocking = 1;
  Calls().ioctlsocket(record->socket, platform::kFionbio, &nonBlocking);
  record->kind = kKindStream;
  record->state = StateNew;
  return record;
}

int32_t PollStream(StreamRecord* record, int16_t requested) {
  if (record->state < requested) record->state = requested;
  switch (record->state) {
    case StateListening:
      TakeWaitingConnection(record);
      break;
    case StateConnecting:
      PollConnecting(record);
      break;
    case StateEstablished:
      PollEstablished(record);
      break;
    default:
      break;
  }
  if (requested == StateEstablished) {
    record->bytesSent = 0;
    record->lastReceiveSize = 0;
  }
  return record->state;
}

int16_t CloseStream(Slot slot) {
  const HeldStream stream(slot);
  if (!stream.Present()) return kFailed;
  FlushOutput(stream);  // yields: another process may release the stream meanwhile
  StreamRecord* record = stream.Record();
  if (record == nullptr) return kFailed;  // whatever holds the slot now is left alone
  AddToCounter(ClosesRequested, 1);
  if (record->socket == kInvalidSocket) return kFailed;  // closed before: touch nothing
  int16_t status = 0;
  LeaveListenQueue(record);  // a waiting stream leaves the shared socket to the others
  if (record->socket != kInvalidSocket) {
    SetOption(record->socket, platform::kSoDontLinger, 1);
    if (Calls().closesocket(record->socket) != 0) status = StatusResult(Calls().lastError());
    record->socket = kInvalidSocket;
  }
  PollStream(record, StateClosed);
  return status;
}

int16_t ReleaseStream(Slot slot) {
  if (slot == nullptr || *slot == nullptr) return 0;
  // Every release of a stream not in state 14 counts, a broken one that StreamClose closed
  // (its state stayed 20) included; its socket is gone, though, so it is not closed again.
  if ((*slot)->state != StateClosed) AddToCounter(ReleasesClosing, 1);
  return DiscardStream(slot);
}

int16_t DiscardStream(Slot slot) {
  if (slot == nullptr || *slot == nullptr) return 0;
  StreamRecord* record = *slot;
  int16_t status = 0;
  LeaveListenQueue(record);
  if (record->socket != kInvalidSocket) {
    if (Calls().closesocket(record->socket) != 0) status = StatusResult(Calls().lastError());
    record->socket = kInvalidSocket;
  }
  if (record->pendingOutput.handle != nullptr) DisposeHandle(record->pendingOutput.handle);
  DisposePtr(reinterpret_cast<Ptr>(record));
  *slot = nullptr;
  return status;
}

int16_t QueryStream(Slot slot, int32_t type) {
  if (slot == nullptr || *slot == nullptr || (*slot)->kind != kKindStream) return kFailed;
  StreamRecord* record = *slot;
  switch (type) {
    case kQueryState:
      return int16_t(PollStream(record, StateNew));
    case kQueryLastReceiveSize:
      return int16_t(record->lastReceiveSize);
    case kQueryBytesSent:
      return int16_t(record->bytesSent);
    default:
      return kFailed;
  }
}

bool GetStreamAddresses(Slot slot, StreamEndpoints* endpoints) {
  if (slot == nullptr || *slot == nullptr) return false;
  StreamRecord* record = *slot;
  *endpoints = StreamEndpoints{};
  // A stream still connecting has no peer yet: its remote end reads 0, as a waiting one's.
  const int32_t state = PollStream(record, StateNew);
  platform::SockAddrIn address{};
  if (state > StateConnecting && Calls().getpeername(record->socket, &address) == 0) {
    endpoints->remoteAddress = platform::NetToHost32(address.address);
    endpoints->remotePort = platform::NetToHost16(address.port);
  }
  address = platform::SockAddrIn{};
  if (Calls().getsockname(record->socket, &address) == 0) {
    endpoints->localAddress = platform::NetToHost32(address.address);
    endpoints->localPort = platform::NetToHost16(address.port);
  }
  return true;
}

}  // namespace nimbus
